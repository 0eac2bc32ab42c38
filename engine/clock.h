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

// CLOCK_MONOTONIC in nanoseconds: frequency 1,000,000,000.
class MonotonicClock final : public Clock {
 public:
  std::int64_t Frequency() const override { return 1'000'000'000; }
  std::int64_t Now() override;
  void Sleep(int milliseconds) override;
};

}  // namespace ticktavo
