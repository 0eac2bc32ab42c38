#include "ui/metronome_window.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include "res/app_icon.h"
#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "ui/about_window.h"
#include "ui/accelerator_filter.h"
#include "ui/accessibility.h"
#include "ui/blinker_static.h"
#include "ui/export_window.h"
#include "ui/practice_window.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

namespace {

// A stored edge pair as a size Qt can take: negative or absurd sizes from a damaged file are
// held to what a widget may have, and the window's own limits then apply.
int SizeBetween(int from, int to) {
  const std::int64_t size = static_cast<std::int64_t>(to) - from;
  return static_cast<int>(std::clamp<std::int64_t>(size, 0, QWIDGETSIZE_MAX));
}

// The frame is the window manager's, and its thickness is known only once the window is on
// screen. A rectangle applied before that (at start-up the window is placed before it is
// first shown) would otherwise count the frame into the inside, and the window would grow by
// the frame at every start. This keeps the requested outer size until the frame is known,
// then sets the inside to it once and goes away.
class OuterSizeKeeper final : public QObject {
 public:
  OuterSizeKeeper(QWidget& window, QSize outer)
      : QObject(&window), m_window(window), m_outer(outer) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                 event->type() == QEvent::Show)) {
      const QSize frame = m_window.frameGeometry().size() - m_window.size();
      if (!frame.isNull()) {
        m_window.removeEventFilter(this);
        // Queued: the size limits follow the frame when the window handles this same event,
        // after this filter; resizing now would be clamped by the limits of a window without
        // a frame and come back taller by the frame.
        const QSize inside = (m_outer - frame).expandedTo(QSize(0, 0));
        QWidget* window = &m_window;
        QTimer::singleShot(0, window, [window, inside] { window->resize(inside); });
        deleteLater();
      }
    }
    return false;
  }

 private:
  QWidget& m_window;
  QSize m_outer;
};

}  // namespace

MetronomeWindow::MetronomeWindow(Clock& clock, MidiOut& midi, Registry& registry, QWidget* parent)
    : QDialog(parent),
      m_clock(clock),
      m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_dialog(m_controls, *this, registry, clock, midi) {
  if (m_wakeFd >= 0) {  // without it nothing the engine posts would reach the window
    m_wakeNotifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_wakeNotifier, &QSocketNotifier::activated, this, [this] {
      std::uint64_t count = 0;
      while (::read(m_wakeFd, &count, sizeof count) < 0 && errno == EINTR) {
      }
      m_dialog.OnWake();
    });
  }
  m_appIcon = AppIcon();
  // A main window of its own (taskbar entry), with a minimise box and no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
}

MetronomeWindow::~MetronomeWindow() {
  // From here on nothing the timing thread posts reaches a widget, and the engine queues
  // nothing more; it is stopped by its own destruction, after the widgets.
  m_dialog.OnDestroy();
  m_acceleratorFilter.reset();
  // The widgets go now, before the members: the engine stays the last part to go. Their
  // last notices (the focus leaving a field as it is destroyed) must not reach the dialog.
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    child->removeEventFilter(this);
    QObject::disconnect(child, nullptr, this, nullptr);
  }
  if (auto* presets = Get<QComboBox>(kIdPresetCombo); presets && presets->lineEdit()) {
    QObject::disconnect(presets->lineEdit(), nullptr, this, nullptr);
  }
  qDeleteAll(children);
  delete m_wakeNotifier;
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void MetronomeWindow::Create() {
  const DialogTemplate& dialogTemplate = MainDialogTemplate();
  setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  m_controls.Attach(BuildDialog(dialogTemplate, *this, DialogUnitsFor(dialogTemplate, font())));
  Get<BlinkerStatic>(kIdMainBlinker)->SetSizeSet(1);
  ConnectHandlers();
  // X11 and Wayland have no window menu to extend: the About and Practice items go into the
  // window's context menu, and F1 opens the About box too.
  m_windowMenu = new WindowMenu(*this, [this](unsigned id) { m_dialog.OnSysCommand(id); });
  setWindowIcon(m_appIcon);
  if (!AcceleratorTable().empty()) {
    m_acceleratorFilter = std::make_unique<AcceleratorFilter>(
        *this, AcceleratorTable(), [this](int command) { m_dialog.OnAcceleratorCommand(command); });
    qApp->installEventFilter(m_acceleratorFilter.get());
  }
  m_dialog.OnInitDialog();
  MakeMainWindowAccessible(*this);
  show();
  m_windowCreated = true;
}

void MetronomeWindow::Command(int id, Notification code) {
  // Changes the core makes itself are not the user's.
  if (!m_controls.FromProgram()) m_dialog.OnCommand(id, code);
}

void MetronomeWindow::ConnectHandlers() {
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    const int id = control.id;
    QWidget* widget = Control(id);
    if (qobject_cast<QPushButton*>(widget) || qobject_cast<QRadioButton*>(widget) ||
        qobject_cast<QCheckBox*>(widget)) {
      // A click, never a check set by the program.
      connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
              [this, id] { Command(id, Notification::kClicked); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      // Typed, pasted, stepped by the arrows or set by a screen reader.
      connect(edit, &QLineEdit::textChanged, this,
              [this, id] { Command(id, Notification::kChanged); });
      edit->installEventFilter(this);  // focus loss
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      combo->installEventFilter(this);  // the wheel
      // Only the user's choices: a selection set by the program does not run the handler.
      connect(combo, &QComboBox::activated, this,
              [this, id] { Command(id, Notification::kSelChange); });
      if (QLineEdit* name = combo->lineEdit()) {
        // The name field keeps what the user typed: no completion from the list, and leaving
        // the field with a listed name does not choose (and load) that preset, which would
        // throw away the settings about to be saved under it.
        combo->setCompleter(nullptr);
        QObject::disconnect(name, &QLineEdit::editingFinished, combo, nullptr);
        connect(name, &QLineEdit::textEdited, this,
                [this, id] { Command(id, Notification::kEditChange); });
      }
    } else if (auto* upDown = qobject_cast<UpDownCtrl*>(widget)) {
      connect(upDown, &UpDownCtrl::Stepped, this,
              [this, id](int delta) { m_dialog.OnUpDownStep(id, delta); });
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
      slider->installEventFilter(this);  // the wheel
      // The user's moves (dragging, keys, wheel, clicks on the track) and the end of a drag,
      // never a position set by the program.
      connect(slider, &QSlider::actionTriggered, this,
              [this, id, slider] { m_dialog.OnHScroll(id, slider->isSliderDown()); });
      connect(slider, &QSlider::sliderReleased, this, [this, id] { m_dialog.OnHScroll(id, true); });
    }
  }
}

// --- Events ---

void MetronomeWindow::closeEvent(QCloseEvent* event) {
  m_dialog.OnClose();  // nothing the engine reports reaches a control from now on
  m_acceleratorFilter.reset();
  if (!m_practiceWindow.isNull()) m_practiceWindow->close();
  event->accept();
}

void MetronomeWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // The dialog's own Enter handling presses the default button, and there never is one.
    const int defId = m_dialog.OnGetDefID() & 0xFFFF;
    if (auto* button = qobject_cast<QPushButton*>(Control(defId))) button->click();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape ends in reject(), which does nothing
}

bool MetronomeWindow::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  const QEvent::Type type = event->type();
  if (type == QEvent::Resize) m_dialog.OnSize();
  // The frame is the window manager's: it can appear or change once the window is shown.
  if (type == QEvent::Move || type == QEvent::Show || type == QEvent::WindowStateChange) {
    m_dialog.OnFrameChanged();
  }
  return handled;
}

bool MetronomeWindow::eventFilter(QObject* watched, QEvent* event) {
  // A wheel turned while the pointer passes over a list or a slider would change an instrument,
  // a volume or the tempo the user never meant to touch: the wheel acts only on the control
  // that has the focus. Taken here, it does not go on to the window either.
  if (event->type() == QEvent::Wheel) {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && !widget->hasFocus()) return true;
  }
  // A context menu of the field itself does not end the typing.
  if (event->type() == QEvent::FocusOut && qobject_cast<QLineEdit*>(watched) != nullptr &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
    const int id = watched->objectName().mid(7).toInt();  // "control<id>"
    if (id != 0) Command(id, Notification::kKillFocus);
  }
  return QDialog::eventFilter(watched, event);
}

// --- WindowHost ---

MessageResult RunMessageBox(QWidget* owner, std::string_view caption, std::string_view text,
                            MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(
      icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::Question,
      FromUtf8(caption), FromUtf8(text),
      buttons == MessageButtons::kOk ? QMessageBox::Ok : (QMessageBox::Yes | QMessageBox::No),
      owner);
  box.setTextFormat(Qt::PlainText);  // the texts are the program's own; none is markup
  if (buttons == MessageButtons::kYesNo) {
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  }
  box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  const int answer = box.exec();
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return answer == QMessageBox::Yes ? MessageResult::kYes : MessageResult::kNo;
}

MessageResult MetronomeWindow::ShowMessageBox(std::string_view caption, std::string_view text,
                                              MessageIcon icon, MessageButtons buttons) {
  QWidget* owner = m_windowCreated && !m_dialog.IsWindowGone() ? this : nullptr;
  return RunMessageBox(owner, caption, text, icon, buttons);
}

WindowRect MetronomeWindow::WindowPlace() const {
  const QRect frame = frameGeometry();
  return {frame.x(), frame.y(), frame.x() + frame.width(), frame.y() + frame.height()};
}

void MetronomeWindow::MoveWindow(WindowRect place) {
  const QSize outer(SizeBetween(place.left, place.right), SizeBetween(place.top, place.bottom));
  // A window's position is its frame's corner; its size is the inside only.
  move(place.left, place.top);
  const QSize frame = frameGeometry().size() - size();
  if (frame.isNull() && !isVisible()) new OuterSizeKeeper(*this, outer);
  resize((outer - frame).expandedTo(QSize(0, 0)));
  update();
}

void MetronomeWindow::MoveWindowClient(int left, int top, Size client) {
  // A window's position is its frame's corner; its size is the inside only.
  move(left, top);
  resize(std::max(client.width, 0), std::max(client.height, 0));
  update();
}

void MetronomeWindow::SetSizeLimits(const SizeLimits& limits) {
  // Qt limits the client area; the limits are for the whole window. Changing them may resize
  // the window, which comes back through OnSize.
  setMinimumSize(std::max(0, limits.minWidth - limits.frame.width),
                 std::max(0, limits.minHeight - limits.frame.height));
  setMaximumSize(std::max(0, limits.maxWidth - limits.frame.width),
                 std::max(0, limits.maxHeight - limits.frame.height));
}

void MetronomeWindow::Repaint(Rect band) {
  if (isVisible()) repaint(QRect(band.x, band.y, band.width, band.height));
}

std::vector<WindowRect> MetronomeWindow::Screens() const {
  std::vector<WindowRect> rects;
  const QScreen* primary = QGuiApplication::primaryScreen();
  // Less the panels and docks: a title bar under a panel cannot be grabbed either.
  auto add = [&rects](const QScreen* screen) {
    const QRect area = screen->availableGeometry();
    rects.push_back({area.x(), area.y(), area.x() + area.width(), area.y() + area.height()});
  };
  if (primary != nullptr) add(primary);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != primary) add(screen);
  }
  return rects;
}

void MetronomeWindow::OpenAboutBox() {
  // Its event loop keeps serving the timing thread, so playing goes on.
  AboutWindow about(*this, this);
  about.exec();
}

PracticeWindow* MetronomeWindow::Practice() const {
  return m_practiceWindow.data();
}

void MetronomeWindow::OpenPracticeWindow() {
  if (m_practiceWindow.isNull()) {
    m_practiceWindow = new PracticeWindow(m_dialog, m_clock, this);
    // Beside the main window, on its right, where it covers none of its controls.
    const QRect main = frameGeometry();
    m_practiceWindow->move(main.right() + 8, main.top());
  }
  m_practiceWindow->show();
  m_practiceWindow->raise();
  m_practiceWindow->activateWindow();
}

void MetronomeWindow::OpenExportBox(const BeatFeed::Program& program) {
  // Like the About box, its event loop keeps serving the timing thread.
  ExportWindow box(program, m_exportChoices, this);
  box.exec();
}

void MetronomeWindow::RequestWake() {
  // Any thread. Non-blocking: a counter that is somehow full already wakes the window.
  const std::uint64_t one = 1;
  while (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void MetronomeWindow::SetTimer(int id, int milliseconds) {
  QTimer*& timer = m_timers[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id] { m_dialog.OnTimer(id); });
  }
  timer->start(milliseconds);  // a running wait starts afresh
}

void MetronomeWindow::KillTimer(int id) {
  if (const auto found = m_timers.find(id); found != m_timers.end()) found->second->stop();
}

void MetronomeWindow::OpenProductPage(std::string_view address) {
  (void)QDesktopServices::openUrl(QUrl(FromUtf8(address)));
}

}  // namespace ticktavo
