#pragma once

#include <sys/types.h>

#include <cstdint>

namespace ticktavo {

// How a thread's request for real-time scheduling was answered.
enum class RealTimeGrant {
  kNone,          // refused everywhere: the thread keeps the normal policy
  kHighPriority,  // RealtimeKit raised its nice value only
  kRealtimeKit,   // SCHED_RR through RealtimeKit, at the priority RealtimeKit allows
  kFifo,          // SCHED_FIFO set directly (root, or a user with an rtprio limit)
};

inline bool IsRealTime(RealTimeGrant grant) {
  return grant == RealTimeGrant::kFifo || grant == RealTimeGrant::kRealtimeKit;
}

// The limits RealtimeKit announces, read from its properties on the system bus.
struct RealtimeKitLimits {
  int maxRealtimePriority = 0;     // MaxRealtimePriority
  std::int64_t rtTimeUSecMax = 0;  // RTTimeUSecMax: the RLIMIT_RTTIME it insists on
  int minNiceLevel = 0;            // MinNiceLevel
};

// What to ask RealtimeKit for a thread that wants `priority`: the priority clamped to what it
// grants, and the RLIMIT_RTTIME (soft = hard) the process must carry for it to grant anything.
struct RealtimeKitRequest {
  int priority = 0;
  std::int64_t rtTimeUSec = 0;
};
RealtimeKitRequest PlanRealtimeKitRequest(int priority, const RealtimeKitLimits& limits,
                                          std::int64_t currentHardRtTimeUSec);

// The calling thread's kernel id.
pid_t CurrentThreadId();

// Gives the thread with kernel id `tid` (a thread of this process) real-time scheduling at
// `priority` (1..99): SCHED_FIFO where the system allows it, else through RealtimeKit over the
// system bus (as sound servers and their clients do), else a raised nice value through
// RealtimeKit. Every refusal falls back silently; the answer says what was granted. Talks to the
// bus, so it may take a millisecond or two: call it once, when the thread starts.
RealTimeGrant MakeThreadRealTime(pid_t tid, int priority);

// The same for the calling thread.
RealTimeGrant MakeThisThreadRealTime(int priority);

}  // namespace ticktavo
