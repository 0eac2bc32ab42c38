#pragma once

#include <memory>

#include "engine/clock.h"
#include "engine/midi_out.h"

namespace ticktavo {

class MetronomeWindow;
class Registry;

// The application: raises the process's priority, builds the main window with the engine
// inside it, and deletes it at the end. One instance lives in main(), after the application
// object and before it goes (widgets cannot outlive it), so it is destroyed when the event
// loop has ended.
class MetronomeApp {
 public:
  MetronomeApp();
  ~MetronomeApp();
  MetronomeApp(const MetronomeApp&) = delete;
  MetronomeApp& operator=(const MetronomeApp&) = delete;

  // Builds the main window and shows it. A MIDI device that cannot be opened is reported
  // before the window appears; the program then runs without sound. Always true.
  bool InitInstance();

  MetronomeWindow* MainDialog() const { return m_mainDialog; }

 private:
  MonotonicClock m_clock;
  std::unique_ptr<MidiOut> m_midi;
  // The user's settings file: opened before the window, closed after it.
  std::unique_ptr<Registry> m_registry;
  MetronomeWindow* m_mainDialog = nullptr;  // owned
};

// Asks for a higher scheduling priority for the process, so the window's thread answers the
// timing thread quickly; a refusal (no privilege) is ignored.
void RaiseProcessPriority();

}  // namespace ticktavo
