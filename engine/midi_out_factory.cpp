#include "engine/midi_out_factory.h"

#include <cstdlib>
#include <string>

#include "engine/log_midi_out.h"
#include "engine/synth/synth_midi_out.h"

namespace ticktavo {

namespace {

// The value as it may be shown on a terminal: control characters written as escapes, so the
// message stays one line and the value cannot steer the terminal.
std::string Printable(std::string_view value) {
  std::string shown;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xf];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::unique_ptr<MidiOut> CreateMidiOutFromSetting(const char* value, std::ostream& diagnostics) {
  constexpr std::string_view kLogPrefix = "log:";
  if (value == nullptr) return CreateSynthMidiOut();
  const std::string_view setting(value);
  if (setting == "synth") return CreateSynthMidiOut();
  if (setting == "none") return std::make_unique<NoMidiOut>();
  if (setting.size() > kLogPrefix.size() && setting.substr(0, kLogPrefix.size()) == kLogPrefix) {
    return std::make_unique<LogMidiOut>(std::string(setting.substr(kLogPrefix.size())));
  }
  diagnostics << "TICKTAVO_MIDI=\"" << Printable(setting)
              << "\" is not understood (use synth, none or log:PATH); using the default device."
              << std::endl;
  return CreateSynthMidiOut();
}

std::unique_ptr<MidiOut> CreateMidiOutFromEnvironment(std::ostream& diagnostics) {
  return CreateMidiOutFromSetting(std::getenv("TICKTAVO_MIDI"), diagnostics);
}

}  // namespace ticktavo
