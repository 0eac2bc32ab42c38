#pragma once

#include <QDialog>
#include <QInputEvent>

#include "dialog/practice_dialog.h"
#include "res/practice_dialog_template.h"
#include "ui/qt_controls.h"

namespace ticktavo {

class MetronomeDialog;

// The Practice window in Qt: its template's controls as widgets, the core's PracticeDialog
// over them, and the T key, which taps whatever control of this window has the focus. A
// modeless tool window beside the main window; while it is open the main dialog tells it of
// loaded settings and played beats. It deletes itself when closed.
class PracticeWindow final : public QDialog {
  Q_OBJECT

 public:
  // main and clock must outlive the window; owner is the main window it stays beside.
  PracticeWindow(MetronomeDialog& main, Clock& clock, QWidget* owner);
  ~PracticeWindow() override;

  QWidget* Control(int id) const { return m_controls.Control(id); }
  template <class T>
  T* Get(int id) const {
    return static_cast<T*>(Control(id));
  }
  PracticeDialog& Dialog() { return m_practice; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectHandlers();
  void Command(int id, Notification code);
  bool IsTapKey(QObject* watched, const QKeyEvent& key) const;
  void Tap(const QInputEvent& event);

  MetronomeDialog& m_main;
  QtControls m_controls;
  PracticeDialog m_practice;
};

}  // namespace ticktavo
