#include "engine/synth/synth_midi_out.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "engine/synth/fluid_setup.h"
#include "engine/synth/soundfont_path.h"

namespace ticktavo {

namespace {

// Plays packed short messages on a FluidSynth synthesizer. Channel messages only: system
// messages mean nothing to a synthesizer without MIDI input.
MidiResult PlayShortMsg(fluid_synth_t* synth, std::uint32_t message) {
  const int status = static_cast<int>(message & 0xff);
  const int data1 = static_cast<int>((message >> 8) & 0x7f);
  const int data2 = static_cast<int>((message >> 16) & 0x7f);
  if (status < 0x80) return kMidiInvalidParam;
  const int channel = status & 0x0f;
  switch (status & 0xf0) {
    case 0x80:
      fluid_synth_noteoff(synth, channel, data1);
      break;
    case 0x90:
      // Velocity 0 is a note-off; FluidSynth treats it so.
      fluid_synth_noteon(synth, channel, data1, data2);
      break;
    case 0xa0:
      fluid_synth_key_pressure(synth, channel, data1, data2);
      break;
    case 0xb0:
      fluid_synth_cc(synth, channel, data1, data2);
      break;
    case 0xc0:
      fluid_synth_program_change(synth, channel, data1);
      break;
    case 0xd0:
      fluid_synth_channel_pressure(synth, channel, data1);
      break;
    case 0xe0:
      fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
      break;
    default:
      break;
  }
  return kMidiOk;
}

class SynthMidiOut final : public MidiOut {
 public:
  explicit SynthMidiOut(SynthOptions options) : m_options(std::move(options)) {
    m_soundfont = FindSoundfont(m_options.soundfont);
    // Open now so the stream is warm when the player opens the device.
    if (!m_soundfont.empty()) m_openResult = StartStream();
  }

  ~SynthMidiOut() override { StopStream(); }

  unsigned GetNumDevs() override { return m_soundfont.empty() ? 0u : 1u; }

  MidiResult Open() override {
    std::lock_guard lock(m_mutex);
    if (m_soundfont.empty()) return kMidiBadDeviceId;
    if (m_open.load()) return kMidiAllocated;
    // A stream that could not start at construction (no sound server yet) is tried again.
    if (!m_driver) m_openResult = StartStream();
    m_open.store(m_openResult == kMidiOk);
    return m_openResult;
  }

  MidiResult ShortMsg(std::uint32_t message) override {
    if (!m_open.load(std::memory_order_acquire)) return kMidiError;
    return PlayShortMsg(m_synth.get(), message);
  }

  MidiResult Reset() override {
    if (!m_open.load(std::memory_order_acquire)) return kMidiError;
    fluid_synth_all_sounds_off(m_synth.get(), -1);
    return kMidiOk;
  }

  // The stream keeps running after Close: the timing thread may still be finishing a send while
  // the player closes the device, so the synthesizer lives as long as this object, and a later
  // Open finds the stream warm.
  MidiResult Close() override {
    std::lock_guard lock(m_mutex);
    if (!m_open.exchange(false)) return kMidiError;
    fluid_synth_all_sounds_off(m_synth.get(), -1);
    return kMidiOk;
  }

 private:
  MidiResult StartStream() {
    m_settings = NewSynthSettings();
    if (!m_settings) return kMidiNoMemory;
    if (m_options.periodSize > 0) {
      fluid_settings_setint(m_settings.get(), "audio.period-size", m_options.periodSize);
    }
    if (m_options.periods > 0) {
      fluid_settings_setint(m_settings.get(), "audio.periods", m_options.periods);
    }
    m_synth.reset(new_fluid_synth(m_settings.get()));
    if (!m_synth) return kMidiNoMemory;
    if (fluid_synth_sfload(m_synth.get(), m_soundfont.c_str(), 1) == FLUID_FAILED) {
      std::fprintf(stderr, "ticktavo: cannot load the soundfont %s\n", m_soundfont.c_str());
      m_synth.reset();
      return kMidiError;
    }
    FluidErrorCollector errors;
    for (const std::string& driver : m_options.drivers) {
      fluid_settings_setstr(m_settings.get(), "audio.driver", driver.c_str());
      m_driver.reset(new_fluid_audio_driver(m_settings.get(), m_synth.get()));
      if (m_driver) return kMidiOk;
    }
    std::fprintf(stderr, "ticktavo: no audio output could be started%s%s\n",
                 errors.Text().empty() ? "" : ":\n", errors.Text().c_str());
    m_synth.reset();
    return kMidiNoDevice;
  }

  void StopStream() {
    // The driver goes first: its thread renders from the synthesizer.
    m_driver.reset();
    m_synth.reset();
    m_settings.reset();
  }

  SynthOptions m_options;
  std::string m_soundfont;
  std::mutex m_mutex;  // Open and Close against each other; never taken by ShortMsg
  MidiResult m_openResult = kMidiBadDeviceId;
  std::atomic<bool> m_open{false};
  FluidSettingsPtr m_settings;
  FluidSynthPtr m_synth;
  FluidDriverPtr m_driver;
};

}  // namespace

std::unique_ptr<MidiOut> CreateSynthMidiOut(const std::string& soundfont) {
  SynthOptions options;
  options.soundfont = soundfont;
  return CreateSynthMidiOut(options);
}

std::unique_ptr<MidiOut> CreateSynthMidiOut(const SynthOptions& options) {
  return std::make_unique<SynthMidiOut>(options);
}

}  // namespace ticktavo
