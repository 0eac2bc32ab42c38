#pragma once

#include <map>
#include <memory>

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QSocketNotifier>

#include "dialog/export_dialog.h"
#include "dialog/metronome_dialog.h"
#include "ui/qt_controls.h"

class QTimer;

namespace ticktavo {

class AcceleratorFilter;
class PracticeWindow;
class WindowMenu;

// A modal message box with the program's texts, owned by `owner` (null: by nothing, modal to
// the whole program). Closing a Yes/No box without answering is No.
MessageResult RunMessageBox(QWidget* owner, std::string_view caption, std::string_view text,
                            MessageIcon icon, MessageButtons buttons);

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
  // The control as a T; nullptr when there is none with this identifier or it is another kind.
  template <class T>
  T* Get(int id) const {
    return dynamic_cast<T*>(Control(id));
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
  void OpenPracticeWindow() override;
  // The Practice window while it is open, else null.
  PracticeWindow* Practice() const;
  void OpenExportBox(const BeatFeed::Program& program) override;
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

  Clock& m_clock;
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
  QPointer<PracticeWindow> m_practiceWindow;
  // The export box's last choices, for its next opening.
  ExportChoices m_exportChoices;
  std::map<int, QTimer*> m_timers;  // the dialog's one-shot timers by id, children of the window
};

}  // namespace ticktavo
