#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/clock.h"

namespace ticktavo::testing {

// A clock whose time moves only when someone uses it, so a timing loop runs to the tick and
// as fast as the processor allows.
//
// - Sleep(ms) moves time forward by ms × frequency / 1000 (plus an optional lateness) and is
//   recorded with the tick at which it was called.
// - Now() returns the current tick. Two reads with nothing in between never return the same
//   value: the second one costs a tick, as on a real counter, so a spin on Now() ends exactly
//   at its target.
// - At(tick, action) runs action once, on whichever thread first moves time to or past tick
//   (Now, Sleep or Advance), right after time moved. Actions may use the clock themselves.
//
// Thread-safe; meant to be driven by one timing thread while a test thread watches. A player
// on this clock never really sleeps, so build it with TimingPriority::kNormal (a real-time
// thread running flat out would starve the test), and end each script with a Stop (the thread
// then waits on a condition instead of racing through fake time).
class FakeClock final : public Clock {
 public:
  struct SleepCall {
    std::int64_t tick;  // time when Sleep was called
    int milliseconds;
  };

  explicit FakeClock(std::int64_t frequency = 1'000'000, std::int64_t start = 0);

  std::int64_t Frequency() const override { return m_frequency; }
  std::int64_t Now() override;
  void Sleep(int milliseconds) override;

  // The current tick, without counting as a read.
  std::int64_t Ticks() const;
  // Moves time forward (negative values are ignored: time never goes back).
  void Advance(std::int64_t ticks);
  // Every Sleep wakes this many ticks late from now on (a busy machine).
  void SetSleepLateness(std::int64_t ticks);
  void At(std::int64_t tick, std::function<void()> action);

  std::vector<SleepCall> Sleeps() const;
  std::int64_t ReadCount() const;
  void ClearSleeps();

 private:
  void RunDueActions();

  const std::int64_t m_frequency;
  mutable std::mutex m_mutex;
  std::int64_t m_ticks;
  std::int64_t m_lastRead;
  std::int64_t m_lateness = 0;
  std::int64_t m_reads = 0;
  std::vector<SleepCall> m_sleeps;
  struct Action {
    std::int64_t tick;
    std::function<void()> run;
  };
  std::vector<Action> m_actions;
};

}  // namespace ticktavo::testing
