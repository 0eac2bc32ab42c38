#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/midi_out.h"

namespace ticktavo {

// How the default device gets its sound to the system's audio.
enum class SynthOutput {
  // Our own audio callback places every note on the exact frame of its send time plus a fixed
  // latency, mixing pre-rendered note sounds. The default.
  kExactFrame,
  // FluidSynth's own audio driver renders the synthesizer; a note sounds wherever the driver's
  // next period starts. Kept for comparison in the audio benchmark.
  kFluidDriver,
};

struct SynthOptions {
  // The soundfont to load; empty means TICKTAVO_SOUNDFONT, then the system's default GM
  // soundfont.
  std::string soundfont;
  SynthOutput output = SynthOutput::kExactFrame;
  // FluidSynth audio drivers to try, in order; the first that starts is used.
  std::vector<std::string> drivers = {"pulseaudio", "alsa", "jack", "sdl2"};
  // Frames per audio period and number of periods; 0 picks the device's defaults.
  int periodSize = 0;
  int periods = 0;
  // Exact-frame output: the fixed latency from a send to its sound in milliseconds; 0 picks the
  // default for the audio driver in use.
  double latencyMs = 0.0;
};

// What the default device has done so far (exact-frame output; zero for FluidSynth's driver).
struct SynthStats {
  std::string driver;             // the audio driver in use, empty when none started
  int periodSize = 0;             // frames per callback
  double latencyMs = 0.0;         // the fixed latency L
  std::uint64_t callbacks = 0;    // audio callbacks so far
  std::uint64_t late = 0;         // notes whose frame had passed when the callback saw them
  std::uint64_t fallbacks = 0;    // notes played by the live synthesizer for want of a sound
  std::uint64_t dropped = 0;      // notes dropped by a reset before they sounded
  std::uint64_t streamJumps = 0;  // stalls of the audio stream (underruns, restarts)
  double framesPerSecond = 0.0;   // the sound card's rate as the clock loop estimates it
  std::string audioScheduling;    // what the audio thread was granted: fifo, rtkit, nice, none
  bool paused = false;            // the stream is paused (the metronome has been stopped a while)
};

// The default device: an embedded General MIDI synthesizer playing through the system's audio.
//
// The device opens its audio stream when it is created, so the stream is running (and past the
// stall of a fresh PulseAudio stream) before the first note. On PulseAudio the stream pauses
// (corks) once the metronome has been stopped for a few seconds, and runs again when the window
// prepares the next Play or the first note is sent; the fixed latency covers the resume. Every
// note is placed at its stamp plus the fixed latency: the grid time ShortMsgAt gives, or the
// arrival for ShortMsg. Open() hands it over and returns what opening it gave: kMidiNoDevice
// when no audio output could be started, kMidiError when the soundfont could not be loaded,
// kMidiNoMemory when the synthesizer could not be created, kMidiAllocated when the device is
// already open. GetNumDevs() is 0 when no soundfont can be found.
class SynthMidiOut : public MidiOut {
 public:
  virtual SynthStats Stats() const = 0;
};

std::unique_ptr<SynthMidiOut> CreateSynthDevice(const SynthOptions& options);

// The default device with default options. soundfont: the file to load; empty means
// TICKTAVO_SOUNDFONT, then the system's default GM soundfont.
std::unique_ptr<MidiOut> CreateSynthMidiOut(const std::string& soundfont = {});

// Sets what the sound libraries read from the environment, unless the user set it: FluidSynth's
// JACK client would otherwise start a JACK server of its own when none runs (on a machine
// without a sound server, probing the drivers in turn would leave a jackd behind). Changing the
// environment is safe only while no other thread may read it, so the program calls this first
// thing in main().
void PrepareSoundEnvironment();

}  // namespace ticktavo
