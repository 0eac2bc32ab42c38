#include "engine/synth/clock_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace ticktavo {
namespace {

constexpr double kRate = 48000.0;
constexpr int kPeriod = 256;                          // frames per callback
constexpr std::int64_t kStartNs = 1'000'000'000'000;  // an arbitrary CLOCK_MONOTONIC reading

// A simulated audio stream: a sound card running `ppm` off its nominal 48 kHz whose callback
// enters `baseDelayNs` plus up to `jitterNs` (uniform) after its period begins.
struct Stream {
  double ppm = 0.0;
  double baseDelayNs = 200e3;
  double jitterNs = 0.0;
  int lateEvery = 0;  // every n-th callback is late by lateNs in addition (0: never)
  double lateNs = 0.0;

  double TrueRate() const { return kRate * (1.0 + ppm * 1e-6); }
  // The time at which the card starts playing `frame`, shifted by `shiftNs` (a stall).
  double FrameTimeNs(std::int64_t frame, double shiftNs = 0.0) const {
    return static_cast<double>(kStartNs) + static_cast<double>(frame) * 1e9 / TrueRate() + shiftNs;
  }
};

// The card's frame at `ns` as a callback without extra delay sees it: the loop fits the earliest
// callbacks, so it converges to the card's frame times shifted by the smallest delay (plus the
// little by which a window's earliest callback still misses it).
double ExpectedFrame(const Stream& s, double ns, double shiftNs = 0.0) {
  return (ns - static_cast<double>(kStartNs) - shiftNs - s.baseDelayNs) * s.TrueRate() / 1e9;
}

struct Case {
  const char* name;
  Stream stream;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class ClockLoopTracks : public ::testing::TestWithParam<Case> {};

// After 20 s of callbacks the line must stay within one frame of the card's clock for the next
// 40 s, at every callback and halfway between callbacks, apart from a constant offset (the
// typical lateness of a window's earliest callback). 20 s is the time the loop needs to narrow
// to its final bandwidth.
TEST_P(ClockLoopTracks, WithinOneFrame) {
  const Stream& s = GetParam().stream;
  ClockLoop loop(kRate);
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> jitter(0.0, s.jitterNs);
  const int settle = static_cast<int>(20.0 * kRate / kPeriod);
  const int total = static_cast<int>(60.0 * kRate / kPeriod);
  double low = 1e9, high = -1e9;
  for (int k = 0; k < total; ++k) {
    const std::int64_t frame = static_cast<std::int64_t>(k) * kPeriod;
    double delay = s.baseDelayNs + (s.jitterNs > 0 ? jitter(random) : 0.0);
    if (s.lateEvery > 0 && k % s.lateEvery == s.lateEvery - 1) delay += s.lateNs;
    const double entry = s.FrameTimeNs(frame) + delay;
    loop.Update(static_cast<std::int64_t>(entry), frame);
    if (k < settle) continue;
    for (double at : {s.FrameTimeNs(frame), s.FrameTimeNs(frame) + 0.5e9 * kPeriod / kRate}) {
      const auto ns = static_cast<std::int64_t>(at);
      const double off = ExpectedFrame(s, ns) - loop.FrameAt(ns);
      low = std::min(low, off);
      high = std::max(high, off);
    }
  }
  // Within a frame of a fixed offset, and the offset itself under a frame or two: the line runs
  // through the earliest callbacks, not the average ones.
  EXPECT_LE(high - low, 1.0);
  EXPECT_LE(high, 2.0);
  EXPECT_GE(low, -0.5);
  EXPECT_EQ(loop.Reseeds(), 0u);
  // The rate estimate found the card's rate to within 2 ppm.
  EXPECT_NEAR(loop.FramesPerSecond(), s.TrueRate(), kRate * 2e-6);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ClockLoopTracks,
    ::testing::Values(Case{"Ideal", Stream{}},
                      // Wake-up jitter of half a millisecond (24 frames) at every callback.
                      Case{"Jitter", Stream{.jitterNs = 500e3}},
                      Case{"Fast100ppm", Stream{.ppm = 100.0, .jitterNs = 500e3}},
                      Case{"Slow100ppm", Stream{.ppm = -100.0, .jitterNs = 500e3}},
                      // One callback in 40 preempted for 3 ms (144 frames): clamped, not followed.
                      Case{"LateCallbacks",
                           Stream{.ppm = 50.0, .jitterNs = 300e3, .lateEvery = 40, .lateNs = 3e6}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClockLoop, SingleVeryLateCallbackIsNoJump) {
  // A callback 30 ms late (past the 20 ms jump limit) followed by punctual ones: the loop coasts
  // over it and does not re-seed.
  Stream s;
  ClockLoop loop(kRate);
  for (int k = 0; k < 5000; ++k) {
    const std::int64_t frame = static_cast<std::int64_t>(k) * kPeriod;
    const double late = k == 4000 ? 30e6 : 0.0;
    loop.Update(static_cast<std::int64_t>(s.FrameTimeNs(frame) + s.baseDelayNs + late), frame);
  }
  EXPECT_EQ(loop.Reseeds(), 0u);
  const auto ns = static_cast<std::int64_t>(s.FrameTimeNs(5000 * kPeriod));
  EXPECT_NEAR(loop.FrameAt(ns), ExpectedFrame(s, static_cast<double>(ns)), 1.0);
}

TEST(ClockLoop, StallReseedsAndLocksAgain) {
  // The stream stops for 150 ms (an underrun): from then on every frame plays 150 ms later than
  // before. Three callbacks in a row off the line make the loop re-seed once; 20 s later it is
  // within a frame of the new timing again, and it kept the rate it had found.
  Stream s{.ppm = 80.0, .jitterNs = 300e3};
  ClockLoop loop(kRate);
  std::mt19937 random(777);
  std::uniform_real_distribution<double> jitter(0.0, s.jitterNs);
  const int stallAt = static_cast<int>(30.0 * kRate / kPeriod);
  const int total = stallAt + static_cast<int>(20.0 * kRate / kPeriod);
  const double stallNs = 150e6;
  double worstAfter = 0.0;
  for (int k = 0; k < total; ++k) {
    const std::int64_t frame = static_cast<std::int64_t>(k) * kPeriod;
    const double shift = k >= stallAt ? stallNs : 0.0;
    const double entry = s.FrameTimeNs(frame, shift) + s.baseDelayNs + jitter(random);
    loop.Update(static_cast<std::int64_t>(entry), frame);
    if (k == stallAt) {
      EXPECT_EQ(loop.Reseeds(), 0u) << "one callback off the line is not yet a jump";
    }
    if (k > total - 500) {
      const auto ns = static_cast<std::int64_t>(s.FrameTimeNs(frame, shift));
      worstAfter =
          std::max(worstAfter, std::fabs(loop.FrameAt(ns) - ExpectedFrame(s, ns, stallNs)));
    }
  }
  EXPECT_EQ(loop.Reseeds(), 1u);
  EXPECT_LE(worstAfter, 2.0);
  EXPECT_NEAR(loop.FramesPerSecond(), s.TrueRate(), kRate * 2e-6);
}

// Wake-up delays of an audio thread that is not real-time: mostly prompt, often late by up to
// 3 ms, now and then by up to 8 ms, and once in fifty callbacks by 20 to 40 ms (past the jump
// limit). Never early.
double NonRealTimeDelayNs(std::mt19937& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double kind = unit(random);
  const double u = unit(random);
  if (kind < 0.6) return 20e3 * u;
  if (kind < 0.9) return 3e6 * u;
  if (kind < 0.98) return 3e6 + 5e6 * u;
  return 20e6 + 20e6 * u;
}

struct ResumeCase {
  const char* name;
  double ppm;
};

void PrintTo(const ResumeCase& c, std::ostream* os) {
  *os << c.name;
}

class ClockLoopResumes : public ::testing::TestWithParam<ResumeCase> {};

// A stream paused while the metronome was stopped and resumed for Play: the loop is re-seeded
// (the rate found before is kept) and fed callbacks of a thread that is not real-time. The first
// note is placed 30 ms after the stream resumes; from then on the line may not move by more than
// a frame against the card, or the first intervals would be uneven.
TEST_P(ClockLoopResumes, HoldsWithinOneFrameOfTheFirstNote) {
  const Stream s{.ppm = GetParam().ppm, .baseDelayNs = 150e3};
  ClockLoop loop(kRate);
  std::mt19937 random(4242);
  // 20 s of playing before the pause: the rate is found.
  const int before = static_cast<int>(20.0 * kRate / kPeriod);
  for (int k = 0; k < before; ++k) {
    const std::int64_t frame = static_cast<std::int64_t>(k) * kPeriod;
    loop.Update(static_cast<std::int64_t>(s.FrameTimeNs(frame) + NonRealTimeDelayNs(random)),
                frame);
  }
  // Paused for 7.3 s: the frames stop, the card's time goes on.
  const double pauseNs = 7.3e9;
  const std::int64_t resumeFrame = static_cast<std::int64_t>(before) * kPeriod;
  loop.Reseed();
  const double resumeNs = s.FrameTimeNs(resumeFrame, pauseNs);
  const int total = static_cast<int>(30.0 * kRate / kPeriod);
  double firstNoteOff = 0.0;
  bool placed = false;
  double worst = 0.0;
  for (int k = 0; k < total; ++k) {
    const std::int64_t frame = resumeFrame + static_cast<std::int64_t>(k) * kPeriod;
    const double cardNs = s.FrameTimeNs(frame, pauseNs);
    loop.Update(static_cast<std::int64_t>(cardNs + NonRealTimeDelayNs(random)), frame);
    if (cardNs < resumeNs + 30e6) continue;
    const auto ns = static_cast<std::int64_t>(cardNs);
    const double off = ExpectedFrame(s, static_cast<double>(ns), pauseNs) - loop.FrameAt(ns);
    if (!placed) {
      firstNoteOff = off;
      placed = true;
    }
    worst = std::max(worst, std::fabs(off - firstNoteOff));
  }
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(loop.Reseeds(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Streams, ClockLoopResumes,
                         ::testing::Values(ResumeCase{"Exact", 0.0},
                                           ResumeCase{"Fast250ppm", 250.0},
                                           ResumeCase{"Slow80ppm", -80.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClockLoop, StreamRestartReseeds) {
  // The frame count starting again from 0 means a new stream: the line is seeded anew at once.
  ClockLoop loop(kRate);
  loop.Update(kStartNs, 0);
  loop.Update(kStartNs + 5'333'333, 256);
  loop.Update(kStartNs + 10'666'666, 0);
  EXPECT_EQ(loop.Reseeds(), 1u);
  EXPECT_DOUBLE_EQ(loop.FrameAt(kStartNs + 10'666'666), 0.0);
}

TEST(ClockLoop, SeedMapsByNominalRate) {
  // Right after the first callback the line runs at the nominal rate from that callback:
  // 10 ms later is 480 frames further.
  ClockLoop loop(kRate);
  loop.Update(kStartNs, 1024);
  EXPECT_DOUBLE_EQ(loop.FrameAt(kStartNs), 1024.0);
  EXPECT_DOUBLE_EQ(loop.FrameAt(kStartNs + 10'000'000), 1024.0 + 480.0);
  EXPECT_FALSE(loop.Tracking());
}

}  // namespace
}  // namespace ticktavo
