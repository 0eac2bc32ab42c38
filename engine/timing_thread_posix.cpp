#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <ctime>

#include "engine/realtime.h"
#include "engine/timing_thread.h"

namespace ticktavo {

namespace {

// Above ordinary threads and the desktop's own real-time helpers (which sit at 20 or below),
// below the kernel's watchdogs at 99.
constexpr int kTimingThreadFifoPriority = 50;

}  // namespace

bool RaiseTimingThreadPriority() {
  // SCHED_FIFO where allowed; an ordinary desktop user gets real-time scheduling through
  // RealtimeKit instead, and without either the thread keeps the normal policy: the beat is then
  // only as steady as the load on the machine allows.
  return IsRealTime(MakeThisThreadRealTime(kTimingThreadFifoPriority));
}

std::int64_t ThreadCpuNanoseconds(std::thread& thread) {
  clockid_t cpuClock{};
  if (pthread_getcpuclockid(thread.native_handle(), &cpuClock) != 0) return 0;
  timespec ts{};
  if (clock_gettime(cpuClock, &ts) != 0) return 0;
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace ticktavo
