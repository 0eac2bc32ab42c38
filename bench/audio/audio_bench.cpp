// Plays a straight beat through the real BeatPlayer and the default device, for the audio
// benchmark (bench/audio/run records what comes out and measures it). Prints what the device
// and the process saw as key=value lines.

#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "engine/beat_player.h"
#include "engine/clock.h"
#include "engine/player_owner.h"
#include "engine/synth/synth_midi_out.h"

namespace ticktavo {
namespace {

struct Arguments {
  SynthOptions options;
  int bpm = 240;
  int beats = 40;
  int note = 76;  // high wood block
  int velocity = 127;
  int warmupMs = 4000;
  std::string pulseLog;  // PulseAudio's debug log, to count underruns
};

// The beats to play: the same note on every beat, `beats` of them, then nothing more (the
// player idles on an empty queue); tells the main thread when the last one has sounded.
class Owner final : public PlayerOwner, public BeatSource {
 public:
  explicit Owner(const Arguments& args) : m_args(args) {}

  void Restart() override { m_queued = 0; }
  void QueueNextBeat(BeatBuilder& builder) override {
    if (m_queued >= m_args.beats) return;
    builder.BeginBeat();
    builder.AddNote(m_args.note, m_args.velocity, 1);
    ++m_queued;
  }

  void ShowError(std::string_view text) override { PostError(text); }
  void PostError(std::string_view text) override {
    std::fprintf(stderr, "Midi Error: %.*s\n", static_cast<int>(text.size()), text.data());
    std::lock_guard lock(m_mutex);
    m_failed = true;
    m_done.notify_all();
  }
  void PostMainBlinkerFrame(std::uint64_t, int) override {}
  void PostBeatPlayed(std::uint64_t, int, int) override {
    std::lock_guard lock(m_mutex);
    if (++m_played >= m_args.beats) m_done.notify_all();
  }

  bool WaitForAll() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_failed || m_played >= m_args.beats; });
    return !m_failed;
  }
  int Played() {
    std::lock_guard lock(m_mutex);
    return m_played;
  }

 private:
  const Arguments& m_args;
  int m_queued = 0;  // timing thread once playing
  std::mutex m_mutex;
  std::condition_variable m_done;
  int m_played = 0;
  bool m_failed = false;
};

std::int64_t CpuNs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int CountUnderruns(const std::string& log) {
  if (log.empty()) return -1;
  std::ifstream in(log);
  int count = 0;
  for (std::string line; std::getline(in, line);) {
    // PulseAudio 16 logs "Implicit underrun of '<stream>'", older servers "Underrun on".
    if (line.find("underrun of '") != std::string::npos ||
        line.find("Underrun on") != std::string::npos) {
      ++count;
    }
  }
  return count;
}

void Usage() {
  std::fprintf(stderr,
               "usage: audio_bench [--output exact|fluid] [--driver NAME] [--period FRAMES]\n"
               "  [--periods N] [--latency MS] [--bpm N] [--beats N] [--note N] [--velocity N]\n"
               "  [--warmup MS] [--pulse-log PATH]\n");
}

bool Parse(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view key = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (key == "--output") {
      if (std::strcmp(value, "exact") == 0) {
        args.options.output = SynthOutput::kExactFrame;
      } else if (std::strcmp(value, "fluid") == 0) {
        args.options.output = SynthOutput::kFluidDriver;
      } else {
        return false;
      }
    } else if (key == "--driver") {
      args.options.drivers = {value};
    } else if (key == "--period") {
      args.options.periodSize = std::atoi(value);
    } else if (key == "--periods") {
      args.options.periods = std::atoi(value);
    } else if (key == "--latency") {
      args.options.latencyMs = std::atof(value);
    } else if (key == "--bpm") {
      args.bpm = std::atoi(value);
    } else if (key == "--beats") {
      args.beats = std::atoi(value);
    } else if (key == "--note") {
      args.note = std::atoi(value);
    } else if (key == "--velocity") {
      args.velocity = std::atoi(value);
    } else if (key == "--warmup") {
      args.warmupMs = std::atoi(value);
    } else if (key == "--pulse-log") {
      args.pulseLog = value;
    } else {
      return false;
    }
  }
  return args.beats >= 2;
}

int Run(const Arguments& args) {
  auto device = CreateSynthDevice(args.options);
  if (device->GetNumDevs() == 0) {
    std::fprintf(stderr, "audio_bench: no soundfont\n");
    return 1;
  }
  // The program opens the device at start-up, long before the first Play: give the stream the
  // same head start.
  std::this_thread::sleep_for(std::chrono::milliseconds(args.warmupMs));

  Owner owner(args);
  MonotonicClock clock;
  BeatPlayer player(owner, clock, *device);
  if (!player.DeviceOpen()) return 1;
  player.SetTempo(args.bpm);
  const int underrunsBefore = CountUnderruns(args.pulseLog);
  const SynthStats before = device->Stats();
  const std::int64_t wallStart = CpuNs(CLOCK_MONOTONIC);
  const std::int64_t cpuStart = CpuNs(CLOCK_PROCESS_CPUTIME_ID);
  const std::int64_t timingStart = player.TimingThreadCpuNanoseconds();
  player.Play(owner);
  const bool ok = owner.WaitForAll();
  // The last beat sounds L after its send; stopping sooner would drop it, as a reset drops
  // everything not yet sounded.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  player.Stop();
  // Let the last beat ring out before the books are closed.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  const std::int64_t wall = CpuNs(CLOCK_MONOTONIC) - wallStart;
  const std::int64_t cpu = CpuNs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
  const std::int64_t timing = player.TimingThreadCpuNanoseconds() - timingStart;
  const SynthStats after = device->Stats();
  const int underrunsAfter = CountUnderruns(args.pulseLog);

  const auto pct = [wall](std::int64_t ns) {
    return 100.0 * static_cast<double>(ns) / static_cast<double>(wall);
  };
  std::printf("output=%s\n",
              args.options.output == SynthOutput::kExactFrame ? "exact" : "fluid-driver");
  std::printf("driver=%s\n", after.driver.c_str());
  std::printf("period_frames=%d\n", after.periodSize);
  std::printf("latency_ms=%.1f\n", after.latencyMs);
  std::printf("bpm=%d\nbeats_played=%d\n", args.bpm, owner.Played());
  std::printf("late_events=%llu\n", static_cast<unsigned long long>(after.late - before.late));
  std::printf("fallbacks=%llu\n",
              static_cast<unsigned long long>(after.fallbacks - before.fallbacks));
  std::printf("stream_jumps=%llu\n",
              static_cast<unsigned long long>(after.streamJumps - before.streamJumps));
  std::printf("clock_rate_hz=%.2f\n", after.framesPerSecond);
  if (underrunsBefore >= 0) std::printf("underruns=%d\n", underrunsAfter - underrunsBefore);
  std::printf("cpu_process_pct=%.2f\n", pct(cpu));
  std::printf("cpu_timing_thread_pct=%.2f\n", pct(timing));
  std::printf("cpu_audio_pct=%.2f\n", pct(cpu - timing));
  std::printf("realtime=%d\n", player.RealTimeScheduling() ? 1 : 0);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace ticktavo

int main(int argc, char** argv) {
  ticktavo::Arguments args;
  if (!ticktavo::Parse(argc, argv, args)) {
    ticktavo::Usage();
    return 2;
  }
  return ticktavo::Run(args);
}
