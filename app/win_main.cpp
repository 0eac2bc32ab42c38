// The program on Windows: the Win32 window over the same core as on Linux.
#include <windows.h>
// commctrl.h after windows.h
#include <commctrl.h>

#include <iostream>
#include <memory>

#include "engine/clock.h"
#include "engine/midi_out_factory.h"
#include "store/windows_registry.h"
#include "ui/win32/metronome_window_win32.h"

namespace {

// Everything the window works with, built in this order and destroyed in the reverse: the
// window (and with it the engine, which stops its thread and closes the device) goes first.
class MetronomeApp {
 public:
  explicit MetronomeApp(HINSTANCE instance) : m_instance(instance) {}
  ~MetronomeApp() { delete m_mainDialog; }
  MetronomeApp(const MetronomeApp&) = delete;
  MetronomeApp& operator=(const MetronomeApp&) = delete;

  // A MIDI device that cannot be opened is reported before the window appears; the program
  // then runs without sound. A window that cannot be made ends the program.
  bool InitInstance() {
    // The whole process at the real-time class (high for a user without the privilege), set
    // before the engine's thread exists; a refusal is ignored.
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    m_midi = ticktavo::CreateMidiOutFromEnvironment(std::cerr);
    m_mainDialog = new ticktavo::win32::MetronomeWindow(m_instance, m_clock, *m_midi, m_registry);
    return m_mainDialog->Create();
  }

  int Run() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (m_mainDialog != nullptr && m_mainDialog->PreTranslateMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  }

 private:
  HINSTANCE m_instance;
  ticktavo::MonotonicClock m_clock;
  std::unique_ptr<ticktavo::MidiOut> m_midi;
  ticktavo::WindowsRegistry m_registry;                      // HKEY_CURRENT_USER
  ticktavo::win32::MetronomeWindow* m_mainDialog = nullptr;  // owned
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);

  MetronomeApp app(instance);
  if (!app.InitInstance()) return 1;
  return app.Run();
}
