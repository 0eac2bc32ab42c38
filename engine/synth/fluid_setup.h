#pragma once

// FluidSynth plumbing shared by the live synthesizer and the offline renderer. Both must be built
// from the same settings so that a pre-rendered note sounds exactly like a live one.

#include <fluidsynth.h>

#include <memory>
#include <string>

#include "engine/synth/note_renderer.h"

namespace ticktavo {

// The output rate of the default device. PulseAudio and JACK run at 48 kHz on most desktops, so
// no resampling stands between our frames and the sound card.
inline constexpr int kSynthSampleRate = kDefaultSampleRate;
// FluidSynth's percussion channel (MIDI channel 10).
inline constexpr int kPercussionChannel = 9;
// Output gain. FluidSynth's default of 0.2 is too quiet for a metronome; 1.0 clips the loudest
// General MIDI percussion at velocity 127. The loudest note of TimGM6mb and FluidR3_GM at
// velocity 127 peaks below full scale with this value (checked by the synth tests).
inline constexpr double kSynthGain = 0.6;

struct FluidSettingsDeleter {
  void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct FluidSynthDeleter {
  void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct FluidDriverDeleter {
  void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
using FluidSettingsPtr = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthPtr = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;
using FluidDriverPtr = std::unique_ptr<fluid_audio_driver_t, FluidDriverDeleter>;

// Settings of every synthesizer the device creates. Reverb and chorus are off: a metronome click
// should be dry, and without them every note's sound is independent of the others, so notes
// rendered apart add up to exactly what one synthesizer would play.
FluidSettingsPtr NewSynthSettings(double sampleRate = kSynthSampleRate);

// A synthesizer over `settings` with `soundfont` loaded; null when either step fails.
FluidSynthPtr NewSynthWithSoundfont(fluid_settings_t* settings, const std::string& soundfont);

// Routes FluidSynth's own messages: errors go to standard error unless a caller is probing
// (several audio drivers are tried in turn and only the last failure is worth telling).
// Installed once per process; safe to call from any thread.
void InstallFluidLogging();

// While one of these lives on a thread, FluidSynth errors raised on that thread are collected
// instead of printed, and so are its warnings and information (which are otherwise dropped).
class FluidErrorCollector {
 public:
  FluidErrorCollector();
  ~FluidErrorCollector();
  FluidErrorCollector(const FluidErrorCollector&) = delete;
  FluidErrorCollector& operator=(const FluidErrorCollector&) = delete;
  const std::string& Text() const { return m_text; }
  const std::string& Warnings() const { return m_warnings; }
  void Append(const char* message);
  void AppendWarning(const char* message);

 private:
  std::string m_text;
  std::string m_warnings;
  FluidErrorCollector* m_previous;
};

}  // namespace ticktavo
