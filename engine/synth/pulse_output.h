#pragma once

#include <memory>
#include <string>

namespace ticktavo {

// A playback stream on the sound server (PulseAudio, or PipeWire's PulseAudio service) that can
// be paused. FluidSynth's own PulseAudio driver cannot pause its stream, and a fresh stream
// stalls for about a second before it plays (measured: 1.0 to 1.3 s on a running server, longer
// on a suspended sink), so it would have to run while the metronome is stopped. A corked stream
// costs the program and the server nothing, lets the sink suspend, and plays again within about
// 12 ms of being uncorked, with no stall.
//
// The render callback runs on the stream's own thread with 32-bit float frames, left and right
// apart, zeroed before the call; `nowNs` is CLOCK_MONOTONIC at the callback's entry.
class PulseOutput {
 public:
  using Render = void (*)(void* data, long long nowNs, int frames, float* left, float* right);

  struct Format {
    double sampleRate = 48000;
    int periodFrames = 512;   // frames the server asks for at a time
    int bufferFrames = 1024;  // frames from a write to the speaker, at most
  };

  // Connects to the default server and starts the stream; null with `error` set when there is no
  // server or the stream cannot start. `name` is the name the server shows for the program.
  static std::unique_ptr<PulseOutput> Open(const std::string& name, const Format& format,
                                           Render render, void* data, std::string* error);
  virtual ~PulseOutput() = default;

  // Corks and uncorks the stream. Any thread but the stream's own; they return once the request
  // is on its way to the server.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Paused() const = 0;
  // The frames the server asks for at a time (what it granted of Format::periodFrames).
  virtual int PeriodFrames() const = 0;
};

}  // namespace ticktavo
