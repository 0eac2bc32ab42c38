#include "app/metronome_app.h"

#include <sys/resource.h>

#include <iostream>

#include "engine/midi_out_factory.h"
#include "store/registry.h"
#include "store/settings_file.h"
#include "ui/metronome_window.h"

namespace ticktavo {

namespace {

// As high as an ordinary desktop user may be allowed to go without real-time privileges.
constexpr int kRaisedNice = -10;

}  // namespace

void RaiseProcessPriority() {
  // Threads created afterwards (the timing thread among them) inherit it.
  (void)setpriority(PRIO_PROCESS, 0, kRaisedNice);
}

MetronomeApp::MetronomeApp() = default;

MetronomeApp::~MetronomeApp() {
  // The window closes its channel to the timing thread, then its widgets go, then the engine
  // stops and joins its thread and closes the device.
  delete m_mainDialog;
  m_mainDialog = nullptr;
}

bool MetronomeApp::InitInstance() {
  RaiseProcessPriority();
  m_midi = CreateMidiOutFromEnvironment(std::cerr);
  // A settings file that cannot be used is told on the terminal; the program runs on its
  // defaults all the same.
  m_registry = OpenUserSettings(std::cerr);
  m_mainDialog = new MetronomeWindow(m_clock, *m_midi, *m_registry);
  m_mainDialog->Create();
  return true;
}

}  // namespace ticktavo
