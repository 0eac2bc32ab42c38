#include "engine/realtime.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace ticktavo {

namespace {

constexpr const char* kRtkitService = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitPath = "/org/freedesktop/RealtimeKit1";
constexpr const char* kRtkitInterface = "org.freedesktop.RealtimeKit1";

// The nice value asked for when real-time scheduling is refused: what PulseAudio asks for its
// own threads, bounded by RealtimeKit's MinNiceLevel.
constexpr int kHighPriorityNice = -11;

constexpr std::uint64_t kBusTimeoutUs = 1'000'000;

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

bool SetFifo(pid_t tid, int priority) {
  sched_param param{};
  param.sched_priority =
      std::clamp(priority, sched_get_priority_min(SCHED_FIFO), sched_get_priority_max(SCHED_FIFO));
  // Threads this one starts begin with the normal policy again.
  return sched_setscheduler(tid, SCHED_FIFO | SCHED_RESET_ON_FORK, &param) == 0;
}

template <typename T>
bool ReadProperty(sd_bus* bus, const char* name, char type, T* value) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
  const int r = sd_bus_get_property_trivial(bus, kRtkitService, kRtkitPath, kRtkitInterface, name,
                                            &error, type, value);
  sd_bus_error_free(&error);
  return r >= 0;
}

bool Call(sd_bus* bus, const char* method, const char* signature, std::uint64_t tid,
          std::int32_t value) {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without the C compound literal
  const int r =
      signature[1] == 'u'
          ? sd_bus_call_method(bus, kRtkitService, kRtkitPath, kRtkitInterface, method, &error,
                               nullptr, signature, tid, static_cast<std::uint32_t>(value))
          : sd_bus_call_method(bus, kRtkitService, kRtkitPath, kRtkitInterface, method, &error,
                               nullptr, signature, tid, value);
  sd_bus_error_free(&error);
  return r >= 0;
}

RealTimeGrant AskRealtimeKit(pid_t tid, int priority) {
  sd_bus* raw = nullptr;
  if (sd_bus_open_system(&raw) < 0) return RealTimeGrant::kNone;
  std::unique_ptr<sd_bus, BusCloser> bus(raw);
  // A bus that starts RealtimeKit on demand answers within milliseconds; one that hangs must not
  // hold a thread that has beats or audio to deliver for sd-bus's default 25 s.
  sd_bus_set_method_call_timeout(bus.get(), kBusTimeoutUs);

  RealtimeKitLimits limits;
  std::int32_t maxPriority = 0;
  std::int64_t rtTimeMax = 0;
  std::int32_t minNice = 0;
  if (!ReadProperty(bus.get(), "MaxRealtimePriority", 'i', &maxPriority)) {
    return RealTimeGrant::kNone;  // no RealtimeKit on this bus
  }
  limits.maxRealtimePriority = maxPriority;
  if (ReadProperty(bus.get(), "RTTimeUSecMax", 'x', &rtTimeMax)) limits.rtTimeUSecMax = rtTimeMax;
  if (ReadProperty(bus.get(), "MinNiceLevel", 'i', &minNice)) limits.minNiceLevel = minNice;

  rlimit current{};
  getrlimit(RLIMIT_RTTIME, &current);
  const std::int64_t currentHard =
      current.rlim_max == RLIM_INFINITY ? -1 : static_cast<std::int64_t>(current.rlim_max);
  const RealtimeKitRequest request = PlanRealtimeKitRequest(priority, limits, currentHard);
  if (request.priority > 0 && request.rtTimeUSec > 0) {
    // RealtimeKit grants nothing to a process that could keep a core forever: it wants a CPU
    // time limit for real-time threads no higher than its own. A thread that runs that long
    // without sleeping is stopped by a signal, which our threads, sleeping every period, never
    // come near.
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(request.rtTimeUSec);
    if (setrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        Call(bus.get(), "MakeThreadRealtime", "tu", static_cast<std::uint64_t>(tid),
             request.priority)) {
      return RealTimeGrant::kRealtimeKit;
    }
  }
  const int nice = std::max(kHighPriorityNice, limits.minNiceLevel);
  if (Call(bus.get(), "MakeThreadHighPriority", "ti", static_cast<std::uint64_t>(tid), nice)) {
    return RealTimeGrant::kHighPriority;
  }
  return RealTimeGrant::kNone;
}

}  // namespace

RealtimeKitRequest PlanRealtimeKitRequest(int priority, const RealtimeKitLimits& limits,
                                          std::int64_t currentHardRtTimeUSec) {
  RealtimeKitRequest request;
  request.priority = std::clamp(priority, 0, std::max(0, limits.maxRealtimePriority));
  // Keep a lower limit already in force; a negative current limit means unlimited.
  request.rtTimeUSec = limits.rtTimeUSecMax;
  if (currentHardRtTimeUSec >= 0 && currentHardRtTimeUSec < request.rtTimeUSec) {
    request.rtTimeUSec = currentHardRtTimeUSec;
  }
  return request;
}

pid_t CurrentThreadId() {
  return static_cast<pid_t>(syscall(SYS_gettid));
}

RealTimeGrant MakeThreadRealTime(pid_t tid, int priority) {
  if (SetFifo(tid, priority)) return RealTimeGrant::kFifo;
  return AskRealtimeKit(tid, priority);
}

RealTimeGrant MakeThisThreadRealTime(int priority) {
  return MakeThreadRealTime(CurrentThreadId(), priority);
}

}  // namespace ticktavo
