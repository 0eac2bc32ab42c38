#pragma once

#include <memory>
#include <string>

#include "engine/midi_out.h"

namespace ticktavo {

// The default device: an embedded General MIDI synthesizer playing through the system's audio.
// soundfont: the file to load; empty means TICKTAVO_SOUNDFONT, then the system's default GM
// soundfont. GetNumDevs() is 0 when no soundfont can be found.
std::unique_ptr<MidiOut> CreateSynthMidiOut(const std::string& soundfont = {});

}  // namespace ticktavo
