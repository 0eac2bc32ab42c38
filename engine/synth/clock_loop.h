#pragma once

#include <cstdint>

namespace ticktavo {

// Maps CLOCK_MONOTONIC time to the frames of an audio stream.
//
// The audio callback runs once per period, driven by the sound card's clock; its entry times,
// taken with CLOCK_MONOTONIC, are noisy samples of where the stream stands. The noise has one
// sign: a callback is never early, only late, by the wake-up latency of its thread: tens of
// microseconds for a real-time thread, several milliseconds (now and then much more) for one
// that is not real-time on a busy machine. So the line time -> frame is fitted to the earliest
// callbacks, the lower envelope, not to their average, which moves with the load:
// - the first update seeds the line at the rate found so far (the nominal one at first);
// - during a short lock-in the line only moves down, to the earliest callback seen, so it never
//   wobbles: the first note after a seed is placed by a line that later callbacks can only
//   confirm or pull down by what the earliest of them beats it by;
// - then, once per window of callbacks, the window's earliest callback feeds a second-order loop
//   that corrects phase and rate, its bandwidth narrowing to a fraction of a hertz; a window far
//   off the line is clamped (it says something about the scheduler, nothing about the card);
// - callbacks off by more than the jump limit are ignored, and a departure that persists (the
//   stream stalled, underran or was restarted) re-seeds the line.
//
// Audio callback thread only; no allocation, no locks.
class ClockLoop {
 public:
  explicit ClockLoop(double nominalFramesPerSecond);

  // At the entry of a callback: `nowNs` is CLOCK_MONOTONIC, `frame` the index in the stream of the
  // first frame this callback renders (frames rendered by all earlier callbacks).
  void Update(std::int64_t nowNs, std::int64_t frame);

  // The frame of the stream that the callback entering at `ns` would start with, had it woken
  // up without delay. Meaningful once the loop has been seeded.
  double FrameAt(std::int64_t ns) const;

  // Forget the line; the next update seeds it again (the estimated rate is kept). For a stream
  // that was paused or restarted, whose frames no longer follow the line.
  void Reseed();

  bool Seeded() const { return m_seeded; }
  // Past the lock-in: the loop is tracking rate as well as phase.
  bool Tracking() const { return m_seeded && m_updates >= kLockInUpdates; }
  // Estimated frames per second of the stream, in CLOCK_MONOTONIC seconds.
  double FramesPerSecond() const { return 1e9 / m_nsPerFrame; }
  std::uint64_t Reseeds() const { return m_reseeds; }
  std::uint64_t ClampedUpdates() const { return m_clamped; }

  // Updates spent correcting phase only (downwards) after a seed.
  static constexpr int kLockInUpdates = 32;
  // Callbacks per window of the tracking loop.
  static constexpr int kWindowUpdates = 16;
  // Updates in a row that must be off by more than the jump limit before the line is re-seeded.
  static constexpr int kJumpUpdates = 3;

 private:
  void Seed(std::int64_t nowNs, std::int64_t frame);
  void Advance(double lineNs, std::int64_t frame);
  void CloseWindow();

  double m_nominalNsPerFrame;
  double m_nsPerFrame;
  bool m_seeded = false;
  std::int64_t m_originNs = 0;  // the line is kept relative to this, for precision
  double m_lineNs = 0.0;        // time on the line of m_lineFrame, relative to m_originNs
  std::int64_t m_lineFrame = 0;
  double m_bandwidthHz = 0.0;
  double m_typicalErrorNs = 0.0;  // typical window error, for the outlier clamp
  int m_updates = 0;
  int m_jumpRun = 0;
  // The window under way: its earliest callback's error against the line, and its length.
  double m_windowMinNs = 0.0;
  int m_windowUpdates = 0;
  std::int64_t m_windowStartFrame = 0;
  std::uint64_t m_reseeds = 0;
  std::uint64_t m_clamped = 0;
};

}  // namespace ticktavo
