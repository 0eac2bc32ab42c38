#include "engine/realtime.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

namespace ticktavo {
namespace {

TEST(RealtimeKitRequest, ClampsToWhatRealtimeKitGrants) {
  // RealtimeKit's defaults: priorities up to 20, RLIMIT_RTTIME of at most 200 ms.
  const RealtimeKitLimits defaults{.maxRealtimePriority = 20, .rtTimeUSecMax = 200'000};
  struct Case {
    int wanted;
    std::int64_t currentHard;  // -1: unlimited, as a process starts
    RealtimeKitLimits limits;
    int priority;
    std::int64_t rtTime;
  };
  for (const Case& c : {
           Case{50, -1, defaults, 20, 200'000},       // the timing thread's 50 becomes 20
           Case{10, -1, defaults, 10, 200'000},       // below the maximum: as asked
           Case{60, 50'000, defaults, 20, 50'000},    // a lower limit already set is kept
           Case{60, 900'000, defaults, 20, 200'000},  // a higher one is brought down
           Case{50, -1, RealtimeKitLimits{.maxRealtimePriority = 0, .rtTimeUSecMax = 200'000}, 0,
                200'000},  // a RealtimeKit that grants no real-time priority at all
       }) {
    const RealtimeKitRequest r = PlanRealtimeKitRequest(c.wanted, c.limits, c.currentHard);
    EXPECT_EQ(r.priority, c.priority) << c.wanted << " with hard limit " << c.currentHard;
    EXPECT_EQ(r.rtTimeUSec, c.rtTime) << c.wanted << " with hard limit " << c.currentHard;
  }
}

TEST(RealTime, ThreadIdsAreTheKernelsOwn) {
  // Another thread has another id, and the main thread's id is the process id.
  pid_t other = 0;
  std::thread([&] { other = CurrentThreadId(); }).join();
  EXPECT_NE(other, CurrentThreadId());
  EXPECT_EQ(CurrentThreadId(), getpid());
}

}  // namespace
}  // namespace ticktavo
