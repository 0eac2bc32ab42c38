#include "app/metronome_app.h"

#include <sys/resource.h>

#include <iostream>

#include "engine/midi_out_factory.h"
#include "ui/metronome_dialog.h"
#include "ui/settings_seam.h"

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
  // The dialog closes its channel to the timing thread, then its widgets go, then the engine
  // stops and joins its thread and closes the device.
  delete m_mainDialog;
  m_mainDialog = nullptr;
}

bool MetronomeApp::InitInstance() {
  RaiseProcessPriority();
  m_midi = CreateMidiOutFromEnvironment(std::cerr);
  m_settings = std::make_unique<NoSettings>();
  m_mainDialog = new MetronomeDialog(m_clock, *m_midi, *m_settings);
  m_mainDialog->Create();
  return true;
}

}  // namespace ticktavo
