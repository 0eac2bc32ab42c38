#pragma once

#include <memory>
#include <ostream>
#include <string_view>

#include "engine/midi_out.h"

namespace ticktavo {

// The MIDI device chosen by the environment variable TICKTAVO_MIDI:
//   unset or "synth"  the default device: the embedded synthesizer (on Windows the system's
//                     MIDI synthesizer through WinMM);
//   "log:PATH"        a device that appends each operation to the file PATH;
//   "none"            no device at all;
//   anything else     the default device, with one line on diagnostics saying so.
std::unique_ptr<MidiOut> CreateMidiOutFromEnvironment(std::ostream& diagnostics);

// The same choice for a given value; null means the variable is not set.
std::unique_ptr<MidiOut> CreateMidiOutFromSetting(const char* value, std::ostream& diagnostics);

}  // namespace ticktavo
