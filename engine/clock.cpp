#include "engine/clock.h"

#include <cerrno>
#include <ctime>

namespace ticktavo {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

std::int64_t MonotonicNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t{ts.tv_sec} * kNanosecondsPerSecond + ts.tv_nsec;
}

std::int64_t MonotonicClock::Now() {
  return MonotonicNanoseconds();
}

void MonotonicClock::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  // An absolute deadline: a signal that interrupts the sleep does not shorten or lengthen it.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  std::int64_t nanoseconds = deadline.tv_nsec + std::int64_t{milliseconds} * 1'000'000;
  deadline.tv_sec += static_cast<time_t>(nanoseconds / kNanosecondsPerSecond);
  deadline.tv_nsec = static_cast<long>(nanoseconds % kNanosecondsPerSecond);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace ticktavo
