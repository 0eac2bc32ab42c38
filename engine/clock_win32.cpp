#include <windows.h>
// mmsystem.h after windows.h
#include <mmsystem.h>

#include <mutex>

#include "engine/clock.h"

// Windows 10 1803 and later; older mingw-w64 headers do not name it yet.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace ticktavo {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::int64_t CounterFrequency() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);  // never fails since Windows XP
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  return frequency;
}

// One waitable timer per sleeping thread: a timer set by one thread would cut short another's
// wait on it.
class ThreadTimer {
 public:
  ThreadTimer()
      : m_timer(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                       TIMER_ALL_ACCESS)) {}
  ~ThreadTimer() {
    if (m_timer != nullptr) CloseHandle(m_timer);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  // False when the system has no high-resolution timers (before Windows 10 1803) or the wait
  // failed; the caller then sleeps the ordinary way.
  bool Sleep(int milliseconds) {
    if (m_timer == nullptr) return false;
    LARGE_INTEGER due{};
    due.QuadPart = -std::int64_t{milliseconds} * 10'000;  // relative, in 100 ns units
    if (!SetWaitableTimerEx(m_timer, &due, 0, nullptr, nullptr, nullptr, 0)) return false;
    return WaitForSingleObject(m_timer, INFINITE) == WAIT_OBJECT_0;
  }

 private:
  HANDLE m_timer;
};

// Without high-resolution timers, Sleep wakes on the system tick (15.6 ms by default): ask for
// 1 ms ticks once, for the life of the process.
void SleepOnFineTicks(int milliseconds) {
  static std::once_flag fineTicks;
  std::call_once(fineTicks, [] { timeBeginPeriod(1); });
  ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace

std::int64_t MonotonicNanoseconds() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const std::int64_t frequency = CounterFrequency();
  const std::int64_t ticks = counter.QuadPart;
  if (frequency == kNanosecondsPerSecond) return ticks;
  // Whole seconds and the remainder apart, so the product cannot overflow for any counter
  // frequency below 9.2 GHz.
  return ticks / frequency * kNanosecondsPerSecond +
         ticks % frequency * kNanosecondsPerSecond / frequency;
}

std::int64_t MonotonicClock::Now() {
  return MonotonicNanoseconds();
}

void MonotonicClock::Sleep(int milliseconds) {
  if (milliseconds <= 0) return;
  thread_local ThreadTimer timer;
  if (!timer.Sleep(milliseconds)) SleepOnFineTicks(milliseconds);
}

}  // namespace ticktavo
