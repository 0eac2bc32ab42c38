#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>

#include "dialog/metronome_dialog.h"
#include "ui/win32/dialog_template_win32.h"
#include "ui/win32/practice_window_win32.h"
#include "ui/win32/win32_controls.h"

namespace ticktavo::win32 {

// The program's one window on Windows: template 102 as a modeless Win32 dialog, the dialog core
// over its controls (Win32Controls) and over this window (WindowHost), and the window's messages
// turned into the core's calls.
//
// Life: construct (the core builds the engine, which opens the MIDI device; a device error is
// shown now, before any window), Create() (the dialog's WM_INITDIALOG runs the core's
// OnInitDialog; the template makes it visible), then PreTranslateMessage and the dialog
// procedure run on the window's thread until the window is destroyed, which posts the quit
// message. The object outlives its window; nothing the engine reports reaches it after the
// window has begun to close.
//
// The timing thread only ever posts kWakeMessage (PostMessageW never waits for the window).
class MetronomeWindow final : public WindowHost {
 public:
  static constexpr UINT kWakeMessage = WM_APP + 1;
  // Folds the window again once the dialog manager has rescaled it for another DPI.
  static constexpr UINT kRelayoutMessage = WM_APP + 2;

  // clock, midi and registry must outlive the window.
  MetronomeWindow(HINSTANCE instance, Clock& clock, MidiOut& midi, Registry& registry,
                  TimingPriority priority = TimingPriority::kRealTime);
  ~MetronomeWindow();
  MetronomeWindow(const MetronomeWindow&) = delete;
  MetronomeWindow& operator=(const MetronomeWindow&) = delete;

  // False if the window could not be made.
  bool Create();
  HWND Window() const { return m_window; }
  MetronomeDialog& Dialog() { return m_dialog; }
  Win32Controls& Controls() { return m_controls; }
  // The Practice window while it is open, else null.
  PracticeWindow* Practice() const {
    return m_practiceWindow != nullptr && m_practiceWindow->Window() != nullptr
               ? m_practiceWindow.get()
               : nullptr;
  }

  // For every message the thread takes from its queue: the Practice window's keys for it;
  // for this window the accelerators first (Enter plays, whatever has the focus), then the
  // dialog manager's keys. True when the message was used.
  bool PreTranslateMessage(MSG& message);

  // WindowHost.
  MessageResult ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  WindowRect WindowPlace() const override;
  Size ClientSize() const override;
  void MoveWindow(WindowRect place) override;
  void MoveWindowClient(int left, int top, Size client) override;
  void SetSizeLimits(const SizeLimits& limits) override { m_limits = limits; }
  void Repaint(Rect band) override;
  std::vector<WindowRect> Screens() const override;
  void OpenAboutBox() override;
  // Beside this window, modeless; asked again, the open one comes to the front.
  void OpenPracticeWindow() override;
  // The Windows build has no export (no synthesizer to render with), and so no menu item that
  // asks for it: never called.
  void OpenExportBox(const BeatFeed::Program& /*program*/) override {}
  void OpenProductPage(std::string_view address) override;
  void CloseWindow() override;
  void RequestWake() override;
  // Window timers (WM_TIMER), identified by the dialog's id.
  void SetTimer(int id, int milliseconds) override;
  void KillTimer(int id) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(WPARAM wParam);
  void OnNotify(const NMHDR& header);
  // About, then Practice, at the end of the window menu.
  void AddWindowMenuItems();
  void Result(LRESULT value);

  HINSTANCE m_instance;
  Clock& m_clock;
  Win32DialogTemplate m_template;
  HWND m_window = nullptr;
  int m_dpi = USER_DEFAULT_SCREEN_DPI;
  // Read by the timing thread: the window the wake is posted to (null before it exists and
  // once it has begun to close).
  std::atomic<HWND> m_wakeTarget{nullptr};
  HACCEL m_accelerators = nullptr;
  HICON m_bigIcon = nullptr;
  HICON m_smallIcon = nullptr;
  std::optional<SizeLimits> m_limits;
  Win32Controls m_controls;
  // Builds the engine first and destroys it last of its parts.
  MetronomeDialog m_dialog;
  // Made on the first open; works on m_dialog, so goes before it.
  std::unique_ptr<PracticeWindow> m_practiceWindow;
};

// Accelerator table 129 as the Win32 table TranslateAcceleratorW uses (null if it is empty).
HACCEL CreateMainAccelerators();

// The address the About box's link shows and opens: the user guide beside the program.
std::string ProductPageAddress();

}  // namespace ticktavo::win32
