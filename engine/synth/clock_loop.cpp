#include "engine/synth/clock_loop.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ticktavo {

namespace {

// Loop bandwidth right after the lock-in, and the narrow one it settles to. The wide start finds
// the sound card's rate within seconds; the narrow end averages the windows' residual jitter over
// many seconds, which is what keeps the line within a frame.
constexpr double kWideBandwidthHz = 0.3;
constexpr double kNarrowBandwidthHz = 0.02;
// Per-window narrowing factor: from wide to narrow in about 150 windows (13 s at 256 frames).
constexpr double kNarrowing = 0.98;
// A callback off the line by more than this (or by more than four periods) is a jump.
constexpr double kMinJumpNs = 20e6;
// A window's error is clamped to this many times the typical error, but never below the floor.
constexpr double kClampFactor = 4.0;
constexpr double kMinClampNs = 50e3;
// Weight of a new window in the typical error.
constexpr double kTypicalWeight = 0.05;
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
  m_typicalErrorNs = 0.0;
  m_updates = 0;
  m_jumpRun = 0;
  m_windowUpdates = 0;
}

void ClockLoop::Advance(double lineNs, std::int64_t frame) {
  m_lineNs = lineNs;
  m_lineFrame = frame;
  // Keep the numbers small: move the origin along with the line.
  if (m_lineNs > 1e9) {
    const auto whole = static_cast<std::int64_t>(m_lineNs);
    m_originNs += whole;
    m_lineNs -= static_cast<double>(whole);
  }
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
  const double predicted = m_lineNs + static_cast<double>(frames) * m_nsPerFrame;
  const double error = static_cast<double>(nowNs - m_originNs) - predicted;

  const double periodNs = static_cast<double>(frames) * m_nsPerFrame;
  if (std::fabs(error) > std::max(kMinJumpNs, 4.0 * periodNs)) {
    if (++m_jumpRun >= kJumpUpdates) {
      ++m_reseeds;
      Seed(nowNs, frame);
      return;
    }
    // Coast on the line until we know whether this is a jump or one very late callback.
    Advance(predicted, frame);
    return;
  }
  m_jumpRun = 0;

  if (m_updates < kLockInUpdates) {
    // Down to the earliest callback so far, never up: a later callback is a late one.
    ++m_updates;
    Advance(predicted + std::min(error, 0.0), frame);
    if (m_updates == kLockInUpdates) {
      m_windowUpdates = 0;
      m_windowStartFrame = frame;
    }
    return;
  }

  Advance(predicted, frame);
  if (m_windowUpdates == 0 || error < m_windowMinNs) m_windowMinNs = error;
  if (++m_windowUpdates == kWindowUpdates) CloseWindow();
}

void ClockLoop::CloseWindow() {
  double error = m_windowMinNs;
  const double limit = std::max(kMinClampNs, kClampFactor * m_typicalErrorNs);
  m_typicalErrorNs += kTypicalWeight * (std::min(std::fabs(error), limit) - m_typicalErrorNs);
  if (std::fabs(error) > limit) {
    ++m_clamped;
    error = std::copysign(limit, error);
  }
  const std::int64_t frames = std::max<std::int64_t>(1, m_lineFrame - m_windowStartFrame);
  const double windowNs = static_cast<double>(frames) * m_nsPerFrame;

  // Second-order loop (after F. Adriaensen, "Using a DLL to filter time"): omega = 2 pi B T,
  // with T the window's length.
  const double omega = 2.0 * std::numbers::pi * m_bandwidthHz * windowNs * 1e-9;
  const double b = std::numbers::sqrt2 * omega;
  const double c = omega * omega;
  Advance(m_lineNs + b * error, m_lineFrame);
  m_nsPerFrame += c * error / static_cast<double>(frames);
  m_nsPerFrame = std::clamp(m_nsPerFrame, m_nominalNsPerFrame * (1.0 - kMaxRateDeviation),
                            m_nominalNsPerFrame * (1.0 + kMaxRateDeviation));
  m_bandwidthHz = std::max(kNarrowBandwidthHz, m_bandwidthHz * kNarrowing);
  m_windowUpdates = 0;
  m_windowStartFrame = m_lineFrame;
}

double ClockLoop::FrameAt(std::int64_t ns) const {
  const double sinceLine = static_cast<double>(ns - m_originNs) - m_lineNs;
  return static_cast<double>(m_lineFrame) + sinceLine / m_nsPerFrame;
}

}  // namespace ticktavo
