#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace ticktavo {

// Tap tempo: the user taps with the beat, and each tap after the first gives the tempo of the
// taps so far: 60 / (mean of the last up to four intervals), rounded to a whole BPM and held
// to 4..1000. A pause of more than 2 seconds starts a new count. Time is a parameter (clock
// ticks at a given frequency), so the caller's clock decides what "now" is.
class TapTempo {
 public:
  static constexpr int kMaxIntervals = 4;
  static constexpr std::int64_t kRestartSeconds = 2;

  // A tap at `now`; the tempo it gives, or nothing for the first tap of a count.
  std::optional<int> Tap(std::int64_t now, std::int64_t frequency);
  // Taps in the current count (1 after the first tap).
  int Count() const { return m_count; }
  void Reset() { m_count = 0; }

 private:
  // The last up to five taps, oldest first.
  std::array<std::int64_t, kMaxIntervals + 1> m_taps{};
  int m_count = 0;
  int m_kept = 0;
};

}  // namespace ticktavo
