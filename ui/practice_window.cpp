#include "ui/practice_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include "dialog/metronome_dialog.h"
#include "res/accessible_names.h"
#include "ui/dialog_builder.h"

namespace ticktavo {

PracticeWindow::PracticeWindow(MetronomeDialog& main, Clock& clock, QWidget* owner)
    : QDialog(owner), m_main(main), m_practice(m_controls, main.PracticeTools(), clock) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  const DialogTemplate& practiceTemplate = PracticeDialogTemplate();
  setWindowTitle(QString::fromUtf8(practiceTemplate.caption));
  m_controls.Attach(BuildDialog(practiceTemplate, *this, DialogUnitsFor(practiceTemplate, font())));
  setFixedSize(size());
  for (const ControlTemplate& control : practiceTemplate.controls) {
    const std::string name = PracticeWindowAccessibleName(control.id);
    if (!name.empty()) Control(control.id)->setAccessibleName(QString::fromStdString(name));
  }
  // Enter in a field must not press the Tap button as a default would.
  Get<QPushButton>(kIdTap)->setAutoDefault(false);
  ConnectHandlers();
  m_practice.OnInitDialog();
  main.AttachPracticeDialog(&m_practice);
  // Ahead of the focused control and of the mnemonics, like the main window's accelerators.
  qApp->installEventFilter(this);
}

PracticeWindow::~PracticeWindow() {
  qApp->removeEventFilter(this);
  m_main.AttachPracticeDialog(nullptr);
  // The widgets' last notices (focus leaving a field as it goes) must not reach the core.
  for (QWidget* child : findChildren<QWidget*>())
    QObject::disconnect(child, nullptr, this, nullptr);
}

void PracticeWindow::Command(int id, Notification code) {
  if (!m_controls.FromProgram()) m_practice.OnCommand(id, code);
}

void PracticeWindow::ConnectHandlers() {
  for (const ControlTemplate& control : PracticeDialogTemplate().controls) {
    const int id = control.id;
    QWidget* widget = Control(id);
    if (id == kIdTap) {
      // Taps on the press, not the click (see eventFilter).
      widget->installEventFilter(this);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      connect(button, &QAbstractButton::clicked, this,
              [this, id] { Command(id, Notification::kClicked); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      connect(edit, &QLineEdit::textChanged, this,
              [this, id] { Command(id, Notification::kChanged); });
      connect(edit, &QLineEdit::editingFinished, this,
              [this, id] { Command(id, Notification::kKillFocus); });
    }
  }
}

bool PracticeWindow::IsTapKey(QObject* watched, const QKeyEvent& key) const {
  if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) return false;
  const Qt::KeyboardModifiers held =
      key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  return key.key() == Qt::Key_T && held == Qt::NoModifier;
}

void PracticeWindow::Tap(const QInputEvent& event) {
  // The moment the key or button went down, by the window system's clock (milliseconds), so
  // a window kept busy between taps does not move them. A platform that gives no time has
  // the core take its own.
  if (event.timestamp() != 0) {
    m_practice.OnTapAt(static_cast<std::int64_t>(event.timestamp()), 1000);
  } else {
    m_practice.OnTap();
  }
}

bool PracticeWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // The number fields take digits only, so T is never text here: it taps, wherever the
    // focus is. Held down, it taps once.
    if (IsTapKey(watched, *key)) {
      event->accept();
      if (type == QEvent::KeyPress && !key->isAutoRepeat()) Tap(*key);
      return true;
    }
  }
  // The Tap button taps as it goes down: the press is the beat, not the release.
  if (watched == Control(kIdTap)) {
    if (type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      Tap(*static_cast<QInputEvent*>(event));
    } else if (type == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) Tap(*key);
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ticktavo
