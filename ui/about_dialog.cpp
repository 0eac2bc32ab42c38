#include "ui/about_dialog.h"

#include <vector>

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>

#include "res/about_dialog_template.h"
#include "res/app_icon.h"
#include "res/resource_ids.h"
#include "res/string_table.h"
#include "res/user_guide.h"
#include "ui/accessibility.h"
#include "ui/dialog_builder.h"

namespace ticktavo {

namespace {

QIcon AppIcon() {
  LoadIconResources();
  QIcon icon;
  for (std::string_view path : kAppIconPaths) {
    icon.addFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
  }
  return icon;
}

}  // namespace

// --- The About box ---

AboutDialog::AboutDialog(QWidget* owner)
    : QDialog(owner), m_versionText(QStringLiteral("Ticktavo version 1.4")) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  m_url = ProductPageUrl();

  // The link shows the address it opens, which is only known now; the box is laid out around
  // it (the dialog unit widens if the address would not fit its line).
  const DialogTemplate& base = AboutDialogTemplate();
  std::vector<ControlTemplate> controls(base.controls.begin(), base.controls.end());
  const QByteArray address = m_url.toString().toUtf8();
  controls.at(static_cast<std::size_t>(kAboutLinkIndex)).caption = address.constData();
  DialogTemplate withAddress = base;
  withAddress.controls = controls;

  setWindowTitle(QString::fromUtf8(base.caption));
  const BuiltDialog built = BuildDialog(withAddress, *this, DialogUnitsFor(withAddress, font()));
  const std::vector<QWidget*>& ordered = built.InTemplateOrder();
  m_iconStatic = qobject_cast<QLabel*>(ordered.at(kAboutIconIndex));
  m_versionStatic = qobject_cast<QLabel*>(ordered.at(kAboutVersionIndex));
  m_authorStatic = qobject_cast<QLabel*>(ordered.at(kAboutAuthorIndex));
  m_okButton = qobject_cast<QPushButton*>(ordered.at(kAboutOkIndex));
  m_linkStatic = qobject_cast<QLabel*>(ordered.at(kAboutLinkIndex));

  // The box's one push button is its default: Enter presses it, as a click does.
  m_okButton->setAutoDefault(true);
  m_okButton->setDefault(true);
  connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
  m_linkStatic->installEventFilter(this);
  setFixedSize(size());  // a modal frame: no sizing border
  setWindowIcon(AppIcon());
  OnInitDialog();
}

AboutDialog::~AboutDialog() = default;

QUrl AboutDialog::ProductPageUrl() {
  return QUrl::fromLocalFile(UserGuidePath());
}

void AboutDialog::OnInitDialog() {
  m_versionStatic->setText(m_versionText);
  OnCtlColor();
  MakeAboutBoxAccessible(*this);
  m_okButton->setFocus(Qt::OtherFocusReason);
}

void AboutDialog::OnCtlColor() {
  // Only the link's text changes colour; its background stays the box's.
  QPalette palette = m_linkStatic->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgb(kLinkColor));
  m_linkStatic->setPalette(palette);
}

void AboutDialog::OnLinkClicked() {
  // Whether a browser could be started is not reported; the box stays open either way.
  (void)QDesktopServices::openUrl(m_url);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_linkStatic && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        m_linkStatic->rect().contains(mouse->position().toPoint())) {
      OnLinkClicked();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// --- The window menu ---

WindowMenu::WindowMenu(QWidget& window, CommandHandler handler)
    : QObject(&window), m_window(&window), m_handler(std::move(handler)) {
  if (const char* text = LoadResourceString(kIdStringAbout)) m_aboutText = QString::fromUtf8(text);
  if (m_aboutText.isEmpty()) return;  // no item, and no other way to the box either
  window.installEventFilter(this);
  m_helpKey = new QShortcut(QKeySequence(Qt::Key_F1), &window);
  m_helpKey->setContext(Qt::WindowShortcut);
  connect(m_helpKey, &QShortcut::activated, this,
          [this] { m_handler(static_cast<unsigned>(kIdAboutCommand)); });
}

WindowMenu::~WindowMenu() {
  if (!m_window.isNull()) m_window->removeEventFilter(this);
}

bool WindowMenu::eventFilter(QObject* watched, QEvent* event) {
  // Controls with a menu of their own (the text fields) take their right clicks; the rest
  // reach the window as clicks on its background.
  if (watched == m_window && event->type() == QEvent::ContextMenu) {
    auto* request = static_cast<QContextMenuEvent*>(event);
    QMenu menu(m_window);
    QAction* about = menu.addAction(m_aboutText);
    if (menu.exec(request->globalPos()) == about) {
      m_handler(static_cast<unsigned>(kIdAboutCommand));
    }
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ticktavo
