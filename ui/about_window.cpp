#include "ui/about_window.h"

#include <vector>

#include <QContextMenuEvent>
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

namespace ticktavo {

// --- The About box ---

AboutWindow::AboutWindow(WindowHost& host, QWidget* owner)
    : QDialog(owner), m_about(m_controls, host, ProductPageUrl().toString().toStdString()) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

  // The link shows the address it opens, which is only known now; the box is laid out around
  // it (the dialog unit widens if the address would not fit its line).
  const DialogTemplate& base = AboutDialogTemplate();
  std::vector<ControlTemplate> controls(base.controls.begin(), base.controls.end());
  const QByteArray address = ProductPageUrl().toString().toUtf8();
  controls.at(static_cast<std::size_t>(kAboutLinkIndex)).caption = address.constData();
  DialogTemplate withAddress = base;
  withAddress.controls = controls;
  setWindowTitle(QString::fromUtf8(base.caption));
  m_controls.Attach(BuildDialog(withAddress, *this, DialogUnitsFor(withAddress, font())));

  // The box's one push button is its default: Enter presses it, as a click does.
  OkButton()->setAutoDefault(true);
  OkButton()->setDefault(true);
  connect(OkButton(), &QPushButton::clicked, this, &QDialog::accept);
  LinkStatic()->installEventFilter(this);
  // Only the link's text is blue; its background stays the box's.
  QPalette palette = LinkStatic()->palette();
  palette.setColor(QPalette::WindowText, QColor::fromRgb(kLinkColor));
  LinkStatic()->setPalette(palette);
  setFixedSize(size());  // a modal frame: no sizing border
  setWindowIcon(AppIcon());
  m_about.OnInitDialog();
  MakeAboutBoxAccessible(*this);
}

AboutWindow::~AboutWindow() = default;

QUrl AboutWindow::ProductPageUrl() {
  return QUrl::fromLocalFile(UserGuidePath());
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LinkStatic() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        LinkStatic()->rect().contains(mouse->position().toPoint())) {
      m_about.OnCommand(kIdAboutLink);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// --- The window menu ---

WindowMenu::WindowMenu(QWidget& window, CommandHandler handler)
    : QObject(&window), m_window(&window), m_handler(std::move(handler)) {
  if (const char* text = LoadResourceString(kIdStringAbout)) m_aboutText = QString::fromUtf8(text);
  if (const char* text = LoadResourceString(kIdStringPractice)) {
    m_practiceText = QString::fromUtf8(text);
  }
  if (const char* text = LoadResourceString(kIdStringExport)) {
    m_exportText = QString::fromUtf8(text);
  }
  if (m_aboutText.isEmpty() && m_practiceText.isEmpty() && m_exportText.isEmpty()) return;
  window.installEventFilter(this);
  if (m_aboutText.isEmpty()) return;  // no item, and no other way to the box either
  auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), &window);
  helpKey->setContext(Qt::WindowShortcut);
  connect(helpKey, &QShortcut::activated, this,
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
    QAction* about = m_aboutText.isEmpty() ? nullptr : menu.addAction(m_aboutText);
    QAction* practice = m_practiceText.isEmpty() ? nullptr : menu.addAction(m_practiceText);
    QAction* exportTrack = m_exportText.isEmpty() ? nullptr : menu.addAction(m_exportText);
    QAction* chosen = menu.exec(request->globalPos());
    if (chosen != nullptr && chosen == about) m_handler(static_cast<unsigned>(kIdAboutCommand));
    if (chosen != nullptr && chosen == practice) {
      m_handler(static_cast<unsigned>(kIdPracticeCommand));
    }
    if (chosen != nullptr && chosen == exportTrack) {
      m_handler(static_cast<unsigned>(kIdExportCommand));
    }
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ticktavo
