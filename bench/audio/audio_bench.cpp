// Plays straight beats through the default device with a timing loop of its own, for the audio
// benchmark (bench/audio/run records what comes out and measures it). Each note is sent with its
// grid time, as the player does: beat k of a run is sent at t1 + (k - 1) period, t1 being the
// first beat's own send time. Several runs, each started like Play after a stop long enough for
// the device to pause its stream, then the cost of a stopped metronome. Prints key=value lines.

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/midi_out.h"
#include "engine/realtime.h"
#include "engine/synth/synth_midi_out.h"

namespace ticktavo {
namespace {

// The player's timing thread priority.
constexpr int kTimingPriority = 50;

struct Arguments {
  SynthOptions options;
  int bpm = 240;
  int beats = 40;
  int runs = 3;
  int note = 76;  // high wood block
  int velocity = 127;
  int warmupMs = 4000;
  int gapMs = 5000;   // stopped between runs: past the device's idle delay
  int idleMs = 5000;  // stopped, measured after the last run (after gapMs of settling)
  int serverPid = 0;  // the sound server, whose CPU is measured beside ours
  bool realTime = true;
  std::string pulseLog;  // PulseAudio's debug log, to count underruns
};

std::int64_t Ns(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void SleepUntil(std::int64_t ns) {
  timespec ts{};
  ts.tv_sec = ns / 1'000'000'000;
  ts.tv_nsec = ns % 1'000'000'000;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
  }
}

// CPU time of another process (user + system), in ns; -1 when it cannot be read.
std::int64_t ProcessCpuNs(int pid) {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::vector<std::string> fields;
  std::size_t pos = close + 2;
  while (pos < text.size()) {
    const std::size_t end = text.find(' ', pos);
    fields.push_back(text.substr(pos, end - pos));
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  if (fields.size() < 13) return -1;
  const long hz = sysconf(_SC_CLK_TCK);
  return (std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str())) * 1'000'000'000 / hz;
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

// CPU of this process and of the server over a span of wall time, in % of a core.
class CpuSpan {
 public:
  explicit CpuSpan(int serverPid)
      : m_server(serverPid),
        m_wall(Ns(CLOCK_MONOTONIC)),
        m_self(Ns(CLOCK_PROCESS_CPUTIME_ID)),
        m_serverCpu(ProcessCpuNs(serverPid)) {}
  double SelfPct() const { return Pct(Ns(CLOCK_PROCESS_CPUTIME_ID) - m_self); }
  double ServerPct() const {
    const std::int64_t now = ProcessCpuNs(m_server);
    return now < 0 || m_serverCpu < 0 ? -1.0 : Pct(now - m_serverCpu);
  }

  double PctOf(std::int64_t ns) const { return Pct(ns); }

 private:
  double Pct(std::int64_t ns) const {
    return 100.0 * static_cast<double>(ns) / static_cast<double>(Ns(CLOCK_MONOTONIC) - m_wall);
  }
  int m_server;
  std::int64_t m_wall, m_self, m_serverCpu;
};

void Usage() {
  std::fprintf(stderr,
               "usage: audio_bench [--output exact|fluid] [--driver NAME] [--period FRAMES]\n"
               "  [--periods N] [--latency MS] [--bpm N] [--beats N] [--runs N] [--gap MS]\n"
               "  [--idle MS] [--note N] [--velocity N] [--warmup MS] [--server-pid PID]\n"
               "  [--realtime 0|1] [--pulse-log PATH]\n");
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
    } else if (key == "--runs") {
      args.runs = std::atoi(value);
    } else if (key == "--gap") {
      args.gapMs = std::atoi(value);
    } else if (key == "--idle") {
      args.idleMs = std::atoi(value);
    } else if (key == "--note") {
      args.note = std::atoi(value);
    } else if (key == "--velocity") {
      args.velocity = std::atoi(value);
    } else if (key == "--warmup") {
      args.warmupMs = std::atoi(value);
    } else if (key == "--server-pid") {
      args.serverPid = std::atoi(value);
    } else if (key == "--realtime") {
      args.realTime = std::atoi(value) != 0;
    } else if (key == "--pulse-log") {
      args.pulseLog = value;
    } else {
      return false;
    }
  }
  return args.beats >= 2 && args.runs >= 1 && args.bpm > 0;
}

// One run, as the timing thread plays it: sleeps until 2 ms before each grid point, spins to it
// and sends the note with its grid time. Returns the first beat's send time.
std::int64_t PlayRun(MidiOut& device, const Arguments& args, std::uint32_t message,
                     std::int64_t& worstLateNs, bool& failed) {
  const std::int64_t period = 60'000'000'000 / args.bpm;
  const std::int64_t t1 = Ns(CLOCK_MONOTONIC);
  for (int k = 0; k < args.beats; ++k) {
    const std::int64_t grid = t1 + k * period;
    if (k > 0) {
      SleepUntil(grid - 2'000'000);
      while (Ns(CLOCK_MONOTONIC) < grid) {
      }
    }
    const std::int64_t sent = Ns(CLOCK_MONOTONIC);
    worstLateNs = std::max(worstLateNs, sent - grid);
    if (device.ShortMsgAt(message, grid) != kMidiOk) failed = true;
  }
  return t1;
}

const char* GrantName(RealTimeGrant grant) {
  switch (grant) {
    case RealTimeGrant::kFifo:
      return "fifo";
    case RealTimeGrant::kRealtimeKit:
      return "rtkit";
    case RealTimeGrant::kHighPriority:
      return "nice";
    case RealTimeGrant::kNone:
      break;
  }
  return "none";
}

int Run(const Arguments& args) {
  auto device = CreateSynthDevice(args.options);
  if (device->GetNumDevs() == 0) {
    std::fprintf(stderr, "audio_bench: no soundfont\n");
    return 1;
  }
  // The program opens the device at start-up, long before the first Play.
  std::this_thread::sleep_for(std::chrono::milliseconds(args.warmupMs));
  if (device->Open() != kMidiOk) {
    std::fprintf(stderr, "audio_bench: the device did not open\n");
    return 1;
  }
  const std::uint32_t message = NoteOnMessage(args.note, args.velocity);
  const std::int64_t period = 60'000'000'000 / args.bpm;

  std::vector<std::int64_t> starts;
  std::vector<int> pausedAtPlay;
  std::int64_t worstLateNs = 0;
  bool failed = false;
  double playCpu = 0.0, playServerCpu = 0.0, playTimingCpu = 0.0;
  RealTimeGrant timingGrant = RealTimeGrant::kNone;
  const int underrunsBefore = CountUnderruns(args.pulseLog);
  const SynthStats before = device->Stats();

  // The timing thread of the benchmark, standing in for the player's.
  std::thread timing([&] {
    if (args.realTime) timingGrant = MakeThisThreadRealTime(kTimingPriority);
    for (int run = 0; run < args.runs && !failed; ++run) {
      if (run > 0) {
        // Stopped: the device pauses its stream after its idle delay.
        std::this_thread::sleep_for(std::chrono::milliseconds(args.gapMs));
      }
      pausedAtPlay.push_back(device->Stats().paused ? 1 : 0);
      // Play: the window prepares the notes, then the first beat goes at once.
      device->Prepare(args.note, args.velocity);
      const CpuSpan span(args.serverPid);
      const std::int64_t timingStart = Ns(CLOCK_THREAD_CPUTIME_ID);
      starts.push_back(PlayRun(*device, args, message, worstLateNs, failed));
      // The last beat sounds L after its send; stopping sooner would drop it.
      std::this_thread::sleep_for(std::chrono::nanoseconds(period / 2));
      playTimingCpu += span.PctOf(Ns(CLOCK_THREAD_CPUTIME_ID) - timingStart) / args.runs;
      playCpu += span.SelfPct() / args.runs;
      playServerCpu += span.ServerPct() / args.runs;
      device->Reset();
    }
  });
  timing.join();

  // Stopped: after the idle delay, the program and the server should have nothing to do.
  std::this_thread::sleep_for(std::chrono::milliseconds(args.gapMs));
  const CpuSpan idle(args.serverPid);
  std::this_thread::sleep_for(std::chrono::milliseconds(args.idleMs));
  const double idleCpu = idle.SelfPct();
  const double idleServerCpu = idle.ServerPct();
  const SynthStats after = device->Stats();
  const int underrunsAfter = CountUnderruns(args.pulseLog);
  device->Close();

  std::printf("output=%s\n",
              args.options.output == SynthOutput::kExactFrame ? "exact" : "fluid-driver");
  std::printf("driver=%s\n", after.driver.c_str());
  std::printf("period_frames=%d\n", after.periodSize);
  std::printf("latency_ms=%.1f\n", after.latencyMs);
  std::printf("bpm=%d\nbeats=%d\nruns=%d\n", args.bpm, args.beats, args.runs);
  std::printf("late_events=%llu\n", static_cast<unsigned long long>(after.late - before.late));
  std::printf("fallbacks=%llu\n",
              static_cast<unsigned long long>(after.fallbacks - before.fallbacks));
  std::printf("stream_jumps=%llu\n",
              static_cast<unsigned long long>(after.streamJumps - before.streamJumps));
  std::printf("clock_rate_hz=%.2f\n", after.framesPerSecond);
  if (underrunsBefore >= 0) std::printf("underruns=%d\n", underrunsAfter - underrunsBefore);
  std::printf("send_late_max_us=%.1f\n", static_cast<double>(worstLateNs) / 1e3);
  std::printf("cpu_play_program_pct=%.2f\n", playCpu);
  std::printf("cpu_play_server_pct=%.2f\n", playServerCpu);
  // The program less the benchmark's own timing loop: what the device costs.
  std::printf("cpu_play_device_pct=%.2f\n", playCpu - playTimingCpu);
  std::printf("cpu_idle_program_pct=%.2f\n", idleCpu);
  std::printf("cpu_idle_server_pct=%.2f\n", idleServerCpu);
  std::printf("stream_paused_when_idle=%d\n", after.paused ? 1 : 0);
  std::printf("timing_scheduling=%s\n", GrantName(timingGrant));
  std::printf("audio_scheduling=%s\n", after.audioScheduling.c_str());
  std::printf("run_starts_ns=");
  for (std::size_t i = 0; i < starts.size(); ++i) {
    std::printf("%s%lld", i ? "," : "", static_cast<long long>(starts[i]));
  }
  std::printf("\npaused_at_play=");
  for (std::size_t i = 0; i < pausedAtPlay.size(); ++i) {
    std::printf("%s%d", i ? "," : "", pausedAtPlay[i]);
  }
  std::printf("\n");
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace ticktavo

int main(int argc, char** argv) {
  ticktavo::PrepareSoundEnvironment();
  ticktavo::Arguments args;
  if (!ticktavo::Parse(argc, argv, args)) {
    ticktavo::Usage();
    return 2;
  }
  return ticktavo::Run(args);
}
