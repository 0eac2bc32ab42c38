#pragma once

#include <cstdint>

namespace ticktavo {

// Maps CLOCK_MONOTONIC time to the frames of an audio stream.
//
// The audio callback runs once per period, driven by the sound card's clock; its entry times,
// taken with CLOCK_MONOTONIC, are noisy samples of where the stream stands. This delay-locked
// loop filters them into a straight line, time -> frame, that follows the sound card's own rate
// (which differs from the system clock by tens of ppm) without inheriting the jitter of the
// callback's wake-ups:
// - the first update seeds the line at the nominal rate;
// - for a short lock-in only the phase is corrected, since a rate estimated from a handful of
//   jittery periods would be worse than the nominal one;
// - then a second-order loop corrects phase and rate, its bandwidth narrowing to a fraction of a
//   hertz so that the jitter of single callbacks averages out;
// - a single callback far off the line (late because the thread was preempted) is clamped: it
//   says something about the scheduler, nothing about the audio clock;
// - a departure that persists (the stream stalled, underran or was restarted) re-seeds the line.
//
// Audio callback thread only; no allocation, no locks.
class ClockLoop {
 public:
  explicit ClockLoop(double nominalFramesPerSecond);

  // At the entry of a callback: `nowNs` is CLOCK_MONOTONIC, `frame` the index in the stream of the
  // first frame this callback renders (frames rendered by all earlier callbacks).
  void Update(std::int64_t nowNs, std::int64_t frame);

  // The frame of the stream that the callback entering at `ns` would start with. Meaningful once
  // the loop has been seeded.
  double FrameAt(std::int64_t ns) const;

  // Forget the line; the next update seeds it again (the estimated rate is kept).
  void Reseed();

  bool Seeded() const { return m_seeded; }
  // Past the lock-in: the loop is tracking rate as well as phase.
  bool Tracking() const { return m_seeded && m_updates >= kLockInUpdates; }
  // Estimated frames per second of the stream, in CLOCK_MONOTONIC seconds.
  double FramesPerSecond() const { return 1e9 / m_nsPerFrame; }
  std::uint64_t Reseeds() const { return m_reseeds; }
  std::uint64_t ClampedUpdates() const { return m_clamped; }

  // Updates spent correcting phase only after a seed.
  static constexpr int kLockInUpdates = 32;
  // Updates in a row that must be off by more than the jump limit before the line is re-seeded.
  static constexpr int kJumpUpdates = 3;

 private:
  void Seed(std::int64_t nowNs, std::int64_t frame);

  double m_nominalNsPerFrame;
  double m_nsPerFrame;
  bool m_seeded = false;
  std::int64_t m_originNs = 0;  // the line is kept relative to this, for precision
  double m_lineNs = 0.0;        // time on the line of m_lineFrame, relative to m_originNs
  std::int64_t m_lineFrame = 0;
  double m_bandwidthHz = 0.0;
  double m_meanAbsErrorNs = 0.0;  // typical callback jitter, for the outlier clamp
  int m_updates = 0;
  int m_jumpRun = 0;
  std::uint64_t m_reseeds = 0;
  std::uint64_t m_clamped = 0;
};

}  // namespace ticktavo
