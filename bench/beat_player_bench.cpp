// Plays the real BeatPlayer on the real clock into an in-memory device, fed by a source of one
// wood block per beat as the window's measure feeds it, and prints how close each note-on came
// to its place on the beat grid.
//
//   beat_player_bench [--seconds S] [--tempos 60,120,240,1000] [--normal]
//
// --seconds  playing time per tempo (default 6; at least 4 beats are played)
// --normal   do not ask for SCHED_FIFO for the timing thread
//
// Per tempo: beats measured, p50/p99/max of |send − grid| in microseconds, where beat k ≥ 1
// belongs at t1 + k × period (t1 being the first beat's send time: the grid of a run starts
// there), the drift of the last beat from its grid point, and the timing thread's CPU time per
// second of playing.
#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "engine/beat_player.h"

namespace ticktavo {
namespace {

// Stamps each note-on with CLOCK_MONOTONIC as it arrives; the buffer is allocated up front so
// recording costs the timing thread nothing but the clock read.
class StampingMidiOut final : public MidiOut {
 public:
  StampingMidiOut(Clock& clock, std::size_t capacity) : m_clock(clock), m_stamps(capacity) {}
  unsigned GetNumDevs() override { return 1; }
  MidiResult Open() override { return kMidiOk; }
  MidiResult ShortMsg(std::uint32_t) override {
    const std::int64_t now = m_clock.Now();
    const std::size_t index = m_count.load(std::memory_order_relaxed);
    if (index < m_stamps.size()) {
      m_stamps[index] = now;
      m_count.store(index + 1, std::memory_order_release);
    }
    return kMidiOk;
  }
  MidiResult Reset() override { return kMidiOk; }
  MidiResult Close() override { return kMidiOk; }

  std::vector<std::int64_t> Stamps() const {
    return {m_stamps.begin(), m_stamps.begin() + static_cast<std::ptrdiff_t>(
                                                     m_count.load(std::memory_order_acquire))};
  }

 private:
  Clock& m_clock;
  std::vector<std::int64_t> m_stamps;
  std::atomic<std::size_t> m_count{0};
};

// One Hi Wood Block per beat.
class WoodBlock final : public BeatSource {
 public:
  void Restart() override {}
  void QueueNextBeat(BeatBuilder& builder) override {
    builder.BeginBeat();
    builder.AddNote(76, 100, 4);
  }
};

// Stops the player after the last beat (on the timing thread, which posts the notification).
class StoppingOwner final : public PlayerOwner {
 public:
  explicit StoppingOwner(int beats) : m_beats(beats) {}
  void Attach(BeatPlayer* player) { m_player = player; }
  void ShowError(std::string_view text) override { PostError(text); }
  void PostError(std::string_view text) override {
    std::fprintf(stderr, "Midi Error: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void PostMainBlinkerFrame(std::uint64_t, int) override {}
  void PostBeatPlayed(std::uint64_t, int, int) override {
    if (++m_played == m_beats) m_player->Stop();
  }

 private:
  const int m_beats;
  int m_played = 0;
  BeatPlayer* m_player = nullptr;
};

struct Result {
  int bpm = 0;
  std::size_t measured = 0;
  double p50 = 0, p99 = 0, max = 0, drift = 0, cpuMsPerSecond = 0;
  bool realTime = false;
};

double Percentile(std::vector<double> sorted, double fraction) {
  if (sorted.empty()) return 0;
  // Nearest rank.
  const auto rank =
      static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

Result Measure(int bpm, double seconds, TimingPriority priority) {
  MonotonicClock clock;
  const int beats = std::max(4, static_cast<int>(seconds * bpm / 60.0));
  StampingMidiOut device(clock, static_cast<std::size_t>(beats) + 8);
  StoppingOwner owner(beats);
  WoodBlock source;
  BeatPlayer player(owner, clock, device, priority);
  owner.Attach(&player);

  player.SetTempo(bpm);
  const std::int64_t cpuBefore = player.TimingThreadCpuNanoseconds();
  const std::int64_t wallBefore = clock.Now();
  player.Play(source);
  const bool finished =
      player.WaitUntilHeld(std::chrono::milliseconds(static_cast<int>(seconds * 4000) + 10'000));
  const std::int64_t wall = clock.Now() - wallBefore;
  const std::int64_t cpu = player.TimingThreadCpuNanoseconds() - cpuBefore;
  if (!finished) std::fprintf(stderr, "%d BPM: the run did not finish in time\n", bpm);

  Result result;
  result.bpm = bpm;
  result.realTime = player.RealTimeScheduling();
  result.cpuMsPerSecond =
      wall > 0 ? static_cast<double>(cpu) / 1e6 / (static_cast<double>(wall) / 1e9) : 0;
  const std::vector<std::int64_t> sent = device.Stamps();
  if (sent.size() < 2) return result;
  const std::int64_t period = player.TicksPerBeat();
  std::vector<double> deviations;
  for (std::size_t k = 1; k < sent.size(); ++k) {
    const std::int64_t grid = sent[0] + static_cast<std::int64_t>(k) * period;
    deviations.push_back(std::abs(static_cast<double>(sent[k] - grid)) / 1000.0);
  }
  const std::int64_t lastGrid = sent[0] + static_cast<std::int64_t>(sent.size() - 1) * period;
  result.drift = static_cast<double>(sent.back() - lastGrid) / 1000.0;
  std::sort(deviations.begin(), deviations.end());
  result.measured = deviations.size();
  result.p50 = Percentile(deviations, 0.50);
  result.p99 = Percentile(deviations, 0.99);
  result.max = deviations.back();
  return result;
}

std::vector<int> ParseTempos(const char* text) {
  std::vector<int> tempos;
  for (const char* p = text; *p != '\0';) {
    char* end = nullptr;
    const long value = std::strtol(p, &end, 10);
    if (end == p || value < 4 || value > 1000) return {};
    tempos.push_back(static_cast<int>(value));
    p = (*end == ',') ? end + 1 : end;
    if (*end != ',' && *end != '\0') return {};
  }
  return tempos;
}

int Usage() {
  std::fprintf(stderr,
               "usage: beat_player_bench [--seconds S] [--tempos 60,120,240,1000] [--normal]\n");
  return 2;
}

}  // namespace
}  // namespace ticktavo

int main(int argc, char** argv) {
  using namespace ticktavo;
  double seconds = 6;
  std::vector<int> tempos = {60, 120, 240, 1000};
  TimingPriority priority = TimingPriority::kRealTime;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
      if (!(seconds > 0 && seconds <= 600)) return Usage();
    } else if (std::strcmp(argv[i], "--tempos") == 0 && i + 1 < argc) {
      tempos = ParseTempos(argv[++i]);
      if (tempos.empty()) return Usage();
    } else if (std::strcmp(argv[i], "--normal") == 0) {
      priority = TimingPriority::kNormal;
    } else {
      return Usage();
    }
  }

  std::printf("BeatPlayer on CLOCK_MONOTONIC, in-memory device, %.1f s per tempo, SCHED_FIFO %s\n",
              seconds, priority == TimingPriority::kRealTime ? "requested" : "not requested");
  std::printf("%6s %7s %9s %9s %9s %10s %9s %5s\n", "BPM", "beats", "p50 us", "p99 us", "max us",
              "drift us", "CPU ms/s", "FIFO");
  std::fflush(stdout);
  for (int bpm : tempos) {
    const Result r = Measure(bpm, seconds, priority);
    std::printf("%6d %7zu %9.1f %9.1f %9.1f %10.1f %9.2f %5s\n", r.bpm, r.measured, r.p50, r.p99,
                r.max, r.drift, r.cpuMsPerSecond, r.realTime ? "yes" : "no");
    std::fflush(stdout);
  }
  return 0;
}
