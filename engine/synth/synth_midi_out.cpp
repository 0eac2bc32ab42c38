#include "engine/synth/synth_midi_out.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/clock.h"
#include "engine/realtime.h"
#include "engine/synth/fluid_setup.h"
#include "engine/synth/frame_scheduler.h"
#include "engine/synth/output_rate.h"
#include "engine/synth/pulse_output.h"
#include "engine/synth/sound_cache.h"
#include "engine/synth/soundfont_path.h"
#include "engine/synth/stream_idle.h"

namespace ticktavo {

namespace {

// Plays packed short messages on a FluidSynth synthesizer. Channel messages only: system
// messages mean nothing to a synthesizer without MIDI input.
void PlayShortMsg(fluid_synth_t* synth, std::uint32_t message) {
  const int status = static_cast<int>(message & 0xff);
  const int data1 = static_cast<int>((message >> 8) & 0x7f);
  const int data2 = static_cast<int>((message >> 16) & 0x7f);
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
}

// Real-time priority of the audio thread: FluidSynth's own default for its audio thread, above
// the timing thread's, since an audio period missed is heard as a gap. RealtimeKit lowers it to
// what it allows.
constexpr int kAudioThreadPriority = 60;

// The control thread that pauses and resumes the stream: below the timing thread's 50.
constexpr int kIdleControlPriority = 40;

// How long a stopped metronome keeps the stream running before it pauses it.
constexpr std::int64_t kIdleDelayNs = 3'000'000'000;

// A grid time further ahead of its send than this is not believed: the note is placed by its
// arrival instead of waiting that long.
constexpr std::int64_t kMaxLeadNs = 1'000'000'000;

// Frames per period and the fixed latency for each audio driver. PulseAudio's and JACK's come
// from the audio benchmark. PulseAudio's stream is our own (periodSize frames asked for at a
// time, periods x periodSize frames to the speaker at most); its latency also covers resuming the
// paused stream for Play, which takes about 12 ms to the first callback, and a timing thread that
// wakes up to 20 ms late. ALSA and SDL2 could not be measured on the build machine (no sound
// card); their latencies leave a period and more of margin.
struct DriverTiming {
  const char* driver;
  int periodSize;
  int periods;
  double latencyMs;
};
constexpr DriverTiming kDriverTimings[] = {
    {"pulseaudio", 512, 3, 40.0},
    {"jack", 0, 0, 12.0},  // JACK decides the period itself
    {"alsa", 256, 3, 15.0},
    {"sdl2", 512, 2, 30.0},
};

// Whatever the table says, the latency covers one and a half periods of what the driver really
// asks for, plus 2 ms: a note sent just after a callback waits a whole period for the next.
constexpr double kLatencyFloorPeriods = 1.5;
constexpr std::int64_t kLatencyFloorMarginNs = 2'000'000;

constexpr DriverTiming kFluidDefaults = {"", 0, 0, 0.0};

const DriverTiming& TimingFor(const std::string& driver) {
  for (const DriverTiming& t : kDriverTimings) {
    if (driver == t.driver) return t;
  }
  return kDriverTimings[0];
}

// The live synthesizer of the exact-frame output: FluidSynth, driven from the audio callback.
class FluidLiveSynth final : public LiveSynth {
 public:
  explicit FluidLiveSynth(fluid_synth_t* synth) : m_synth(synth) {}
  void Send(std::uint32_t message) override { PlayShortMsg(m_synth, message); }
  void Render(int frames, float* left, float* right) override {
    // Idle most of the time: every percussion note comes from the cache.
    if (fluid_synth_get_active_voice_count(m_synth) == 0) return;
    float* out[2] = {left, right};
    fluid_synth_process(m_synth, frames, 0, nullptr, 2, out);
  }
  void Silence() override { fluid_synth_all_sounds_off(m_synth, -1); }

 private:
  fluid_synth_t* m_synth;
};

class SynthDevice final : public SynthMidiOut {
 public:
  explicit SynthDevice(SynthOptions options) : m_options(std::move(options)) {
    m_soundfont = FindSoundfont(m_options.soundfont);
    // Open now so the stream is warm when the player opens the device.
    if (!m_soundfont.empty()) m_openResult = StartStream();
  }

  ~SynthDevice() override {
    StopIdleControl();
    StopStream();
  }

  unsigned GetNumDevs() override { return m_soundfont.empty() ? 0u : 1u; }

  MidiResult Open() override {
    std::lock_guard lock(m_mutex);
    if (m_soundfont.empty()) return kMidiBadDeviceId;
    if (m_open.load()) return kMidiAllocated;
    // A stream that could not start at construction (no sound server yet) is tried again.
    if (!m_driver && !m_pulse) m_openResult = StartStream();
    m_open.store(m_openResult == kMidiOk, std::memory_order_release);
    return m_openResult;
  }

  // Timing thread. Exact-frame output: stamps the message with its arrival and queues it for the
  // audio callback, never locking, allocating or waiting.
  MidiResult ShortMsg(std::uint32_t message) override {
    const std::int64_t now = MonotonicNanoseconds();
    return Send(message, now);
  }

  // Timing thread. The note is placed by the moment it belongs to, so a timing thread that woke
  // up late (by less than the latency) is not heard.
  MidiResult ShortMsgAt(std::uint32_t message, std::int64_t gridTime) override {
    const std::int64_t now = MonotonicNanoseconds();
    return Send(message, gridTime <= now + kMaxLeadNs ? gridTime : now);
  }

  MidiResult Reset() override {
    const std::int64_t now = MonotonicNanoseconds();
    if (!m_open.load(std::memory_order_acquire)) return kMidiError;
    Silence(now);
    Quiet();
    return kMidiOk;
  }

  // The stream keeps running after Close: the timing thread may still be finishing a send while
  // the player closes the device, so everything lives as long as this object, and a later Open
  // finds the stream warm.
  MidiResult Close() override {
    std::lock_guard lock(m_mutex);
    if (!m_open.exchange(false)) return kMidiError;
    Silence(MonotonicNanoseconds());
    Quiet();
    return kMidiOk;
  }

  // Window's thread, when it changes what will be played and before each Play: the sound is
  // rendered ahead, and a paused stream starts running again so that it is ready for the first
  // note.
  void Prepare(int note, int velocity) override {
    if (m_cache) m_cache->Request(note, velocity);
    if (m_idleEvent >= 0) {
      // Resume here and now, rather than through the control thread: Play follows at once.
      m_wakes.fetch_add(1, std::memory_order_relaxed);
      ApplyIdleEvents();
    }
  }

  SynthStats Stats() const override {
    SynthStats stats;
    stats.driver = m_driverName;
    stats.periodSize = m_periodSize;
    if (m_scheduler) {
      const SchedulerStats s = m_scheduler->Stats();
      stats.latencyMs = static_cast<double>(m_scheduler->LatencyNs()) / 1e6;
      stats.callbacks = s.callbacks;
      stats.late = s.late;
      stats.fallbacks = s.fallbacks;
      stats.dropped = s.dropped;
      stats.streamJumps = s.reseeds;
      stats.framesPerSecond = s.framesPerSecond;
      // What the driver really asks for (JACK decides its period itself).
      if (s.periodFrames > 0) stats.periodSize = s.periodFrames;
    }
    switch (m_audioGrant.load(std::memory_order_relaxed)) {
      case RealTimeGrant::kFifo:
        stats.audioScheduling = "fifo";
        break;
      case RealTimeGrant::kRealtimeKit:
        stats.audioScheduling = "rtkit";
        break;
      case RealTimeGrant::kHighPriority:
        stats.audioScheduling = "nice";
        break;
      case RealTimeGrant::kNone:
        stats.audioScheduling = "none";
        break;
    }
    stats.paused = m_pulse && m_pulse->Paused();
    return stats;
  }

 private:
  MidiResult Send(std::uint32_t message, std::int64_t stampNs) {
    if (!m_open.load(std::memory_order_acquire)) return kMidiError;
    if ((message & 0x80) == 0) return kMidiInvalidParam;  // no status byte
    if (m_scheduler) {
      // The first note after a stop wakes the control thread, which resumes a paused stream;
      // the note's latency covers that. A write to an eventfd never waits.
      if (m_idleEvent >= 0 && !m_playing.load(std::memory_order_relaxed)) {
        m_playing.store(true, std::memory_order_release);
        Signal();
      }
      // A full ring means the audio callback has not run for seconds: the stream is dead.
      return m_scheduler->Post(stampNs, message) ? kMidiOk : kMidiError;
    }
    PlayShortMsg(m_synth.get(), message);
    return kMidiOk;
  }

  void Quiet() {
    if (m_idleEvent < 0) return;
    m_playing.store(false, std::memory_order_release);
    m_quiets.fetch_add(1, std::memory_order_release);
    Signal();
  }

  void Signal() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_idleEvent, &one, sizeof one);
  }

  // Audio thread (the stream's own). The first callback on a thread gives it real-time
  // scheduling, by its own thread id: no other thread of the process is touched.
  void EnterAudioThread() {
    // Asking the kernel for the thread id at every callback would cost a system call each time.
    thread_local const pid_t self = CurrentThreadId();
    if (m_audioThread.load(std::memory_order_relaxed) == self) return;
    m_audioThread.store(self, std::memory_order_relaxed);
    m_audioGrant.store(MakeThreadRealTime(self, kAudioThreadPriority), std::memory_order_relaxed);
  }

  static int AudioCallback(void* data, int len, int /*nfx*/, float* /*fx*/[], int nout,
                           float* out[]) {
    auto* self = static_cast<SynthDevice*>(data);
    if (nout < 2 || len <= 0) return FLUID_OK;
    self->EnterAudioThread();
    self->m_scheduler->Process(MonotonicNanoseconds(), len, out[0], out[1]);
    return FLUID_OK;
  }

  static void PulseRender(void* data, long long nowNs, int frames, float* left, float* right) {
    auto* self = static_cast<SynthDevice*>(data);
    self->EnterAudioThread();
    self->m_scheduler->Process(nowNs, frames, left, right);
  }

  // The control thread pauses the PulseAudio stream when the metronome has been stopped for the
  // idle delay and resumes it when notes are coming. It is the only thread that pauses and
  // resumes; the others only tell it, without waiting.
  void StartIdleControl() {
    m_idleEvent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_idleEvent < 0) return;  // the stream then simply keeps running
    m_idle.emplace(kIdleDelayNs, MonotonicNanoseconds());
    m_seenQuiets = m_quiets.load(std::memory_order_acquire);
    m_seenWakes = m_wakes.load(std::memory_order_relaxed);
    m_idleStop = false;
    m_idleThread = std::thread([this] { IdleControlLoop(); });
  }

  void StopIdleControl() {
    if (m_idleEvent < 0) return;
    m_idleStop = true;
    Signal();
    if (m_idleThread.joinable()) m_idleThread.join();
    close(m_idleEvent);
    m_idleEvent = -1;
  }

  void IdleControlLoop() {
    // It acts for Play and the first note: it must not wait behind a busy machine's other work.
    MakeThisThreadRealTime(kIdleControlPriority);
    while (true) {
      std::int64_t deadline = std::numeric_limits<std::int64_t>::max();
      {
        std::lock_guard lock(m_idleMutex);
        deadline = m_idle->Deadline();
      }
      int timeoutMs = -1;
      if (deadline != std::numeric_limits<std::int64_t>::max()) {
        timeoutMs = static_cast<int>(std::clamp<std::int64_t>(
            (deadline - MonotonicNanoseconds()) / 1'000'000 + 1, 0, 60'000));
      }
      pollfd fd{m_idleEvent, POLLIN, 0};
      poll(&fd, 1, timeoutMs);
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = read(m_idleEvent, &count, sizeof count);
      if (m_idleStop) return;
      ApplyIdleEvents();
    }
  }

  // Control thread, and the window's thread in Prepare: feeds what happened since the last look
  // to the idle rule and pauses or resumes the stream as it says.
  void ApplyIdleEvents() {
    std::lock_guard lock(m_idleMutex);
    const std::int64_t now = MonotonicNanoseconds();
    StreamIdle::Action action = StreamIdle::Action::kNone;
    // A stop first, then whatever came after it: a Play's Prepare or its first note.
    const std::uint64_t quiets = m_quiets.load(std::memory_order_acquire);
    if (quiets != m_seenQuiets) {
      m_seenQuiets = quiets;
      m_idle->Quiet(now);
    }
    const std::uint64_t wakes = m_wakes.load(std::memory_order_relaxed);
    if (wakes != m_seenWakes) {
      m_seenWakes = wakes;
      if (m_idle->Wake(now) == StreamIdle::Action::kResume) action = StreamIdle::Action::kResume;
    }
    if (m_playing.load(std::memory_order_acquire) &&
        m_idle->Note(now) == StreamIdle::Action::kResume) {
      action = StreamIdle::Action::kResume;
    }
    if (m_idle->Poll(now) == StreamIdle::Action::kPause) action = StreamIdle::Action::kPause;
    if (action == StreamIdle::Action::kResume) {
      // Its frames stopped while the card's time went on: the clock loop starts afresh.
      m_scheduler->Restart();
      m_pulse->Resume();
    } else if (action == StreamIdle::Action::kPause) {
      m_pulse->Pause();
    }
  }

  void Silence(std::int64_t now) {
    if (m_scheduler) {
      m_scheduler->RequestReset(now);
    } else {
      fluid_synth_all_sounds_off(m_synth.get(), -1);
    }
  }

  MidiResult StartStream() {
    const MidiResult result = StartStream(kSynthSampleRate, m_options.drivers);
    if (result != kMidiOk || m_outputRate <= 0 || m_outputRate == kSynthSampleRate) {
      return result;
    }
    // The output runs at another rate and does not resample (JACK, an ALSA card without
    // 48 kHz): start again at its rate, so that notes keep their pitch and the clock loop
    // counts the frames the card really plays.
    const double rate = m_outputRate;
    const std::string driver = m_driverName;
    return StartStream(rate, {driver});
  }

  MidiResult StartStream(double sampleRate, const std::vector<std::string>& drivers) {
    StopStream();
    m_outputRate = 0;
    m_settings = NewSynthSettings(sampleRate);
    if (!m_settings) return kMidiNoMemory;
    m_synth.reset(new_fluid_synth(m_settings.get()));
    if (!m_synth) return kMidiNoMemory;
    if (fluid_synth_sfload(m_synth.get(), m_soundfont.c_str(), 1) == FLUID_FAILED) {
      std::fprintf(stderr, "ticktavo: cannot load the soundfont %s\n", m_soundfont.c_str());
      m_synth.reset();
      return kMidiError;
    }
    const bool exact = m_options.output == SynthOutput::kExactFrame;
    if (exact) {
      m_cache = std::make_unique<SoundCache>(m_soundfont, SoundCache::Limits{}, sampleRate);
      m_live = std::make_unique<FluidLiveSynth>(m_synth.get());
    }
    FluidErrorCollector errors;
    for (const std::string& driver : drivers) {
      // FluidSynth's own driver keeps FluidSynth's defaults unless told otherwise.
      const DriverTiming& timing = exact ? TimingFor(driver) : kFluidDefaults;
      const int periodSize = m_options.periodSize > 0 ? m_options.periodSize : timing.periodSize;
      const int periods = m_options.periods > 0 ? m_options.periods : timing.periods;
      if (periodSize > 0) fluid_settings_setint(m_settings.get(), "audio.period-size", periodSize);
      if (periods > 0) fluid_settings_setint(m_settings.get(), "audio.periods", periods);
      fluid_settings_setstr(m_settings.get(), "audio.driver", driver.c_str());
      // Under JACK, connect to the system's playback ports as every other audio program does.
      fluid_settings_setint(m_settings.get(), "audio.jack.autoconnect", 1);
      if (exact) {
        const double latencyMs = m_options.latencyMs > 0 ? m_options.latencyMs : timing.latencyMs;
        m_scheduler = std::make_unique<FrameScheduler>(*m_cache, *m_live, sampleRate,
                                                       static_cast<std::int64_t>(latencyMs * 1e6));
      }
      if (exact && driver == "pulseaudio") {
        // Our own stream, which can pause while the metronome is stopped.
        PulseOutput::Format format;
        format.sampleRate = sampleRate;
        format.periodFrames = periodSize;
        format.bufferFrames = periodSize * periods;
        std::string error;
        m_pulse = PulseOutput::Open("Ticktavo", format, &SynthDevice::PulseRender, this, &error);
        if (m_pulse) {
          m_driverName = driver;
          m_periodSize = m_pulse->PeriodFrames();
          // The floor counts the period the server granted; the stream's first request, which
          // fills the whole buffer, says nothing about it.
          m_scheduler->RaiseLatency(
              static_cast<std::int64_t>(kLatencyFloorPeriods * m_periodSize * 1e9 / sampleRate) +
              kLatencyFloorMarginNs);
          StartIdleControl();
          return kMidiOk;
        }
        errors.Append(("pulseaudio: " + error).c_str());
        m_scheduler.reset();
        continue;
      }
      if (exact) {
        m_scheduler->SetLatencyFloor(kLatencyFloorPeriods, kLatencyFloorMarginNs);
        m_driver.reset(new_fluid_audio_driver2(m_settings.get(), AudioCallback, this));
      } else {
        m_driver.reset(new_fluid_audio_driver(m_settings.get(), m_synth.get()));
      }
      if (m_driver) {
        m_driverName = driver;
        if (exact) m_outputRate = OutputRateFromMessages(errors.Warnings());
        fluid_settings_getint(m_settings.get(), "audio.period-size", &m_periodSize);
        return kMidiOk;
      }
      m_scheduler.reset();
    }
    std::fprintf(stderr, "ticktavo: no audio output could be started%s%s\n",
                 errors.Text().empty() ? "" : ":\n", errors.Text().c_str());
    StopStream();
    return kMidiNoDevice;
  }

  void StopStream() {
    // The driver goes first: its thread runs the callback that uses everything else. The
    // scheduler's mixer holds sounds of the cache, so it goes before the cache.
    StopIdleControl();
    m_pulse.reset();
    m_driver.reset();
    m_scheduler.reset();
    m_live.reset();
    m_cache.reset();
    m_synth.reset();
    m_settings.reset();
    m_driverName.clear();
  }

  SynthOptions m_options;
  std::string m_soundfont;
  std::mutex m_mutex;  // Open and Close against each other; never taken by ShortMsg
  MidiResult m_openResult = kMidiBadDeviceId;
  std::atomic<bool> m_open{false};
  std::string m_driverName;
  int m_periodSize = 0;
  double m_outputRate = 0;  // the output's rate when it differs from the one asked for
  FluidSettingsPtr m_settings;
  FluidSynthPtr m_synth;
  std::unique_ptr<SoundCache> m_cache;
  std::unique_ptr<FluidLiveSynth> m_live;
  std::unique_ptr<FrameScheduler> m_scheduler;
  FluidDriverPtr m_driver;
  std::unique_ptr<PulseOutput> m_pulse;
  std::atomic<pid_t> m_audioThread{0};
  std::atomic<RealTimeGrant> m_audioGrant{RealTimeGrant::kNone};

  // Pausing the stream while stopped (PulseAudio only).
  int m_idleEvent = -1;  // eventfd that wakes the control thread
  std::atomic<bool> m_idleStop{false};
  std::atomic<bool> m_playing{false};      // a note was sent since the last reset
  std::atomic<std::uint64_t> m_quiets{0};  // resets and closes
  std::atomic<std::uint64_t> m_wakes{0};   // Prepare calls
  std::mutex m_idleMutex;                  // the rule and the pausing; never the timing thread's
  std::optional<StreamIdle> m_idle;
  std::uint64_t m_seenQuiets = 0;
  std::uint64_t m_seenWakes = 0;
  std::thread m_idleThread;
};

}  // namespace

std::unique_ptr<SynthMidiOut> CreateSynthDevice(const SynthOptions& options) {
  return std::make_unique<SynthDevice>(options);
}

void PrepareSoundEnvironment() {
  setenv("JACK_NO_START_SERVER", "1", 0);
}

std::unique_ptr<MidiOut> CreateSynthMidiOut(const std::string& soundfont) {
  SynthOptions options;
  options.soundfont = soundfont;
  return CreateSynthDevice(options);
}

}  // namespace ticktavo
