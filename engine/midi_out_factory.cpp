#include "engine/midi_out_factory.h"

#include <cstdlib>
#include <string>

#include "engine/log_midi_out.h"
#ifdef _WIN32
#include "engine/winmm_midi_out.h"
#else
#include "engine/synth/synth_midi_out.h"
#endif

namespace ticktavo {

namespace {

// The system's MIDI synthesizer on Windows; on Linux the embedded one.
std::unique_ptr<MidiOut> CreateDefaultMidiOut() {
#ifdef _WIN32
  return CreateWinMmMidiOut();
#else
  return CreateSynthMidiOut();
#endif
}

}  // namespace

std::unique_ptr<MidiOut> CreateMidiOutFromSetting(const char* value, std::ostream& diagnostics) {
  constexpr std::string_view kLogPrefix = "log:";
  if (value == nullptr) return CreateDefaultMidiOut();
  const std::string_view setting(value);
  if (setting == "synth") return CreateDefaultMidiOut();
  if (setting == "none") return std::make_unique<NoMidiOut>();
  if (setting.size() > kLogPrefix.size() && setting.substr(0, kLogPrefix.size()) == kLogPrefix) {
    return std::make_unique<LogMidiOut>(std::string(setting.substr(kLogPrefix.size())));
  }
  diagnostics << "TICKTAVO_MIDI=\"" << setting
              << "\" is not understood (use synth, none or log:PATH); using the default device."
              << std::endl;
  return CreateDefaultMidiOut();
}

std::unique_ptr<MidiOut> CreateMidiOutFromEnvironment(std::ostream& diagnostics) {
  return CreateMidiOutFromSetting(std::getenv("TICKTAVO_MIDI"), diagnostics);
}

}  // namespace ticktavo
