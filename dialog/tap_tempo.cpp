#include "dialog/tap_tempo.h"

#include <algorithm>
#include <cmath>

#include "rhythm/sequencer.h"

namespace ticktavo {

std::optional<int> TapTempo::Tap(std::int64_t now, std::int64_t frequency) {
  // A clock that went backwards (it should not) counts as a pause: start again.
  if (m_count > 0) {
    const std::int64_t last = m_taps[static_cast<std::size_t>(m_kept - 1)];
    if (now < last || now - last > kRestartSeconds * frequency) m_count = 0;
  }
  if (m_count == 0) m_kept = 0;
  if (m_kept == static_cast<int>(m_taps.size())) {
    std::rotate(m_taps.begin(), m_taps.begin() + 1, m_taps.end());
    --m_kept;
  }
  m_taps[static_cast<std::size_t>(m_kept++)] = now;
  ++m_count;
  if (m_kept < 2) return std::nullopt;

  // The mean of the kept intervals is their span over their number.
  const std::int64_t span = now - m_taps[0];
  const int intervals = m_kept - 1;
  if (span <= 0) return kMaxBpm;  // taps at the same instant: as fast as it goes
  const double bpm = 60.0 * static_cast<double>(frequency) * intervals / static_cast<double>(span);
  return static_cast<int>(
      std::clamp(std::lround(bpm), static_cast<long>(kMinBpm), static_cast<long>(kMaxBpm)));
}

}  // namespace ticktavo
