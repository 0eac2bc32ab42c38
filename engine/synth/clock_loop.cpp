#include "engine/synth/clock_loop.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ticktavo {

namespace {

// Loop bandwidth right after the lock-in, and the narrow one it settles to. The wide start finds
// the sound card's rate within seconds; the narrow end averages callback jitter over many
// seconds, which is what keeps the line within a frame.
constexpr double kWideBandwidthHz = 1.0;
constexpr double kNarrowBandwidthHz = 0.05;
// Per-update narrowing factor: from wide to narrow in about 3000 updates (16 s at 256 frames).
constexpr double kNarrowing = 0.999;
// Phase gain during the lock-in.
constexpr double kLockInGain = 0.25;
// A callback off the line by more than this (or by more than four periods) is a jump.
constexpr double kMinJumpNs = 20e6;
// Outliers are clamped to this many times the typical error, but never below the floor.
constexpr double kClampFactor = 4.0;
constexpr double kMinClampNs = 100e3;
// Weight of a new error in the typical error.
constexpr double kJitterWeight = 0.01;
// The estimated rate is kept within this of the nominal one: sound cards are off by tens of
// ppm, and a wild estimate after a disturbance must not run away.
constexpr double kMaxRateDeviation = 0.002;

}  // namespace

ClockLoop::ClockLoop(double nominalFramesPerSecond)
    : m_nominalNsPerFrame(1e9 / nominalFramesPerSecond), m_nsPerFrame(m_nominalNsPerFrame) {}

void ClockLoop::Reseed() {
  m_seeded = false;
}

void ClockLoop::Seed(std::int64_t nowNs, std::int64_t frame) {
  m_seeded = true;
  m_originNs = nowNs;
  m_lineNs = 0.0;
  m_lineFrame = frame;
  m_bandwidthHz = kWideBandwidthHz;
  m_meanAbsErrorNs = 0.0;
  m_updates = 0;
  m_jumpRun = 0;
}

void ClockLoop::Update(std::int64_t nowNs, std::int64_t frame) {
  if (!m_seeded) {
    Seed(nowNs, frame);
    return;
  }
  const std::int64_t frames = frame - m_lineFrame;
  if (frames <= 0) {
    // The stream went back or did not advance: it was restarted under us.
    ++m_reseeds;
    Seed(nowNs, frame);
    return;
  }
  const double periodNs = static_cast<double>(frames) * m_nsPerFrame;
  const double predicted = m_lineNs + periodNs;
  double error = static_cast<double>(nowNs - m_originNs) - predicted;

  if (std::fabs(error) > std::max(kMinJumpNs, 4.0 * periodNs)) {
    if (++m_jumpRun >= kJumpUpdates) {
      ++m_reseeds;
      Seed(nowNs, frame);
      return;
    }
    // Coast on the line until we know whether this is a jump or one very late callback.
    m_lineNs = predicted;
    m_lineFrame = frame;
    return;
  }
  m_jumpRun = 0;

  ++m_updates;
  if (m_updates <= kLockInUpdates) {
    m_lineNs = predicted + kLockInGain * error;
    m_lineFrame = frame;
    m_meanAbsErrorNs += (std::fabs(error) - m_meanAbsErrorNs) / m_updates;
    return;
  }

  const double limit = std::max(kMinClampNs, kClampFactor * m_meanAbsErrorNs);
  m_meanAbsErrorNs += kJitterWeight * (std::min(std::fabs(error), limit) - m_meanAbsErrorNs);
  if (std::fabs(error) > limit) {
    ++m_clamped;
    error = std::copysign(limit, error);
  }

  // Second-order loop (after F. Adriaensen, "Using a DLL to filter time"): omega = 2 pi B T.
  const double omega = 2.0 * std::numbers::pi * m_bandwidthHz * periodNs * 1e-9;
  const double b = std::numbers::sqrt2 * omega;
  const double c = omega * omega;
  m_lineNs = predicted + b * error;
  m_lineFrame = frame;
  m_nsPerFrame += c * error / static_cast<double>(frames);
  m_nsPerFrame = std::clamp(m_nsPerFrame, m_nominalNsPerFrame * (1.0 - kMaxRateDeviation),
                            m_nominalNsPerFrame * (1.0 + kMaxRateDeviation));
  m_bandwidthHz = std::max(kNarrowBandwidthHz, m_bandwidthHz * kNarrowing);

  // Keep the numbers small: move the origin along with the line.
  if (m_lineNs > 1e9) {
    const auto whole = static_cast<std::int64_t>(m_lineNs);
    m_originNs += whole;
    m_lineNs -= static_cast<double>(whole);
  }
}

double ClockLoop::FrameAt(std::int64_t ns) const {
  const double sinceLine = static_cast<double>(ns - m_originNs) - m_lineNs;
  return static_cast<double>(m_lineFrame) + sinceLine / m_nsPerFrame;
}

}  // namespace ticktavo
