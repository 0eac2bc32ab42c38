#pragma once

#include <windows.h>

#include "dialog/practice_dialog.h"
#include "ui/win32/dialog_template_win32.h"
#include "ui/win32/win32_controls.h"

namespace ticktavo {
class MetronomeDialog;
}

namespace ticktavo::win32 {

// The Practice window on Windows: its template as a modeless dialog owned by the main window
// (it stays above it and goes with it), the core's PracticeDialog over its controls, and the
// keys that tap: T whatever control of this window has the focus, and the Tap button as it
// goes down (mouse or Space), not as it comes up.
//
// Life: construct, Create(owner); PreTranslateMessage and the dialog procedure run on the
// window's thread. Closing the window (close box, Escape) destroys it, and from then on the
// main dialog no longer tells it anything; the object stays until its owner lets it go.
class PracticeWindow final {
 public:
  // main and clock must outlive the object.
  PracticeWindow(HINSTANCE instance, MetronomeDialog& main, Clock& clock);
  ~PracticeWindow();
  PracticeWindow(const PracticeWindow&) = delete;
  PracticeWindow& operator=(const PracticeWindow&) = delete;

  // Makes the window beside owner (on its right where the screen has room, else on its left)
  // and shows it. False if it could not be made.
  bool Create(HWND owner);
  // Null before Create and once the window is closed.
  HWND Window() const { return m_window; }
  PracticeDialog& Dialog() { return m_practice; }
  Win32Controls& Controls() { return m_controls; }
  // Shows the window and brings it to the front.
  void Show();

  // For every message the thread takes from its queue, ahead of the dialog manager: the T key
  // taps (and types nothing), then the dialog manager's keys. True when the message was used.
  bool PreTranslateMessage(const MSG& message);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK TapButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(WPARAM wParam);
  void PlaceBeside(HWND owner);
  // A tap at this time of the message clock (milliseconds).
  void Tap(DWORD time);

  HINSTANCE m_instance;
  MetronomeDialog& m_main;
  Win32DialogTemplate m_template;
  HWND m_window = nullptr;
  // From WM_DESTROY on: the controls' last notices (a field losing the focus) are not the
  // user's.
  bool m_closing = false;
  Win32Controls m_controls;
  PracticeDialog m_practice;
};

}  // namespace ticktavo::win32
