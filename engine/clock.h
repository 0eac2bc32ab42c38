#pragma once

#include <cstdint>

namespace ticktavo {

// The timing thread's only view of time. Ticks are signed 64-bit and never decrease.
// Tests use a fake clock that advances on Sleep, so the waits run to the tick without sleeping.
class Clock {
 public:
  virtual ~Clock() = default;

  // Ticks per second, read once when the player is built.
  virtual std::int64_t Frequency() const = 0;
  virtual std::int64_t Now() = 0;
  // Gives up the processor for about this many milliseconds.
  virtual void Sleep(int milliseconds) = 0;
};

// The system's monotonic clock in nanoseconds: CLOCK_MONOTONIC on Linux, the performance
// counter on Windows. The program's clock and the log device's stamps both read it.
std::int64_t MonotonicNanoseconds();

// The monotonic clock in nanoseconds: frequency 1,000,000,000. Sleeps use clock_nanosleep on
// Linux and a high-resolution waitable timer on Windows.
class MonotonicClock final : public Clock {
 public:
  std::int64_t Frequency() const override { return 1'000'000'000; }
  std::int64_t Now() override;
  void Sleep(int milliseconds) override;
};

}  // namespace ticktavo
