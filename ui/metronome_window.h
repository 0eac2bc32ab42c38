#pragma once

#include <map>
#include <memory>

#include <QDialog>
#include <QIcon>
#include <QSocketNotifier>

#include "dialog/metronome_dialog.h"
#include "ui/qt_controls.h"

class QTimer;

namespace ticktavo {

class AcceleratorFilter;
class WindowMenu;

// The program's one window in Qt: the controls of template 102 as widgets, the dialog core
// over them (QtControls) and over this window (WindowHost), and the widgets' signals and
// events turned into the core's calls. What stays here is what only Qt knows: the accelerator
// filter ahead of mnemonics, the Enter and Escape keys of a QDialog, focus loss, the window
// frame that appears late on X11, and the screen readers' names.
//
// Life: construct (the core builds the engine, which opens the MIDI device; a device error is
// shown now, before any window), Create() (builds the controls, OnInitDialog, shows the
// window), then the core's handlers run on the window's thread until the window closes. The
// object outlives its window; the engine's news stops reaching it before any widget goes.
class MetronomeWindow final : public QDialog, public WindowHost {
  Q_OBJECT

 public:
  // clock, midi and registry must outlive the window.
  MetronomeWindow(Clock& clock, MidiOut& midi, Registry& registry, QWidget* parent = nullptr);
  ~MetronomeWindow() override;

  void Create();
  MetronomeDialog& Dialog() { return m_dialog; }
  QWidget* Control(int id) const { return m_controls.Control(id); }
  template <class T>
  T* Get(int id) const {
    return static_cast<T*>(Control(id));
  }

  // WindowHost.
  MessageResult ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  WindowRect WindowPlace() const override;
  Size ClientSize() const override { return Size{width(), height()}; }
  void MoveWindow(WindowRect place) override;
  void MoveWindowClient(int left, int top, Size client) override;
  void SetSizeLimits(const SizeLimits& limits) override;
  void Repaint(Rect band) override;
  std::vector<WindowRect> Screens() const override;
  void OpenAboutBox() override;
  void OpenProductPage(std::string_view address) override;
  void CloseWindow() override { close(); }
  void RequestWake() override;
  void SetTimer(int id, int milliseconds) override;
  void KillTimer(int id) override;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void reject() override { m_dialog.OnCancel(); }

 private:
  void ConnectHandlers();
  void Command(int id, Notification code);

  bool m_windowCreated = false;
  // The timing thread wakes the window by writing to this event descriptor (no lock, no
  // allocation, no wait; a Qt event would allocate on every beat). It outlives the engine.
  int m_wakeFd = -1;
  QSocketNotifier* m_wakeNotifier = nullptr;
  QtControls m_controls;
  // Builds the engine first and destroys it last of its parts.
  MetronomeDialog m_dialog;
  QIcon m_appIcon;
  std::unique_ptr<AcceleratorFilter> m_acceleratorFilter;
  WindowMenu* m_windowMenu = nullptr;
  std::map<int, QTimer*> m_timers;  // the dialog's one-shot timers by id, children of the window
};

}  // namespace ticktavo
