#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/midi_out.h"

namespace ticktavo {

// How the default device gets its sound to the system's audio.
enum class SynthOutput {
  // FluidSynth's own audio driver renders the synthesizer; a note sounds wherever the driver's
  // next period starts. Kept for comparison in the audio benchmark.
  kFluidDriver,
};

struct SynthOptions {
  // The soundfont to load; empty means TICKTAVO_SOUNDFONT, then the system's default GM
  // soundfont.
  std::string soundfont;
  SynthOutput output = SynthOutput::kFluidDriver;
  // FluidSynth audio drivers to try, in order; the first that starts is used.
  std::vector<std::string> drivers = {"pulseaudio", "alsa", "jack", "sdl2"};
  // Frames per audio period and number of periods; 0 keeps FluidSynth's defaults.
  int periodSize = 0;
  int periods = 0;
};

// The default device: an embedded General MIDI synthesizer playing through the system's audio.
// soundfont: the file to load; empty means TICKTAVO_SOUNDFONT, then the system's default GM
// soundfont. GetNumDevs() is 0 when no soundfont can be found.
//
// The device opens its audio stream when it is created, so the stream is running (and past the
// stall of a fresh PulseAudio stream) before the first note. Open() hands over that stream and
// returns what opening it gave: kMidiNoDevice when no audio output could be started,
// kMidiError when the soundfont could not be loaded, kMidiNoMemory when the synthesizer could
// not be created, kMidiAllocated when the device is already open.
std::unique_ptr<MidiOut> CreateSynthMidiOut(const std::string& soundfont = {});
std::unique_ptr<MidiOut> CreateSynthMidiOut(const SynthOptions& options);

}  // namespace ticktavo
