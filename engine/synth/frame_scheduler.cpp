#include "engine/synth/frame_scheduler.h"

#include <algorithm>
#include <cmath>

namespace ticktavo {

namespace {

bool IsPercussionNoteOn(std::uint32_t message) {
  return (message & 0xff) == 0x99 && ((message >> 16) & 0x7f) != 0;
}

void Bump(std::atomic<std::uint64_t>& counter, std::uint64_t by = 1) {
  // Only the callback writes the counters: a relaxed load and store is enough and cheaper than
  // a locked add.
  counter.store(counter.load(std::memory_order_relaxed) + by, std::memory_order_relaxed);
}

}  // namespace

FrameScheduler::FrameScheduler(SoundCache& cache, LiveSynth& live, double framesPerSecond,
                               std::int64_t latencyNs)
    : m_cache(cache),
      m_live(live),
      m_latencyNs(latencyNs),
      m_nominalFramesPerSecond(framesPerSecond),
      m_loop(framesPerSecond) {}

void FrameScheduler::SetLatencyFloor(double periods, std::int64_t marginNs) {
  m_floorPeriods = periods;
  m_floorMarginNs = marginNs;
}

bool FrameScheduler::Post(std::int64_t stampNs, std::uint32_t message) {
  return m_ring.TryPush(Event{stampNs, message});
}

void FrameScheduler::RequestReset(std::int64_t stampNs) {
  // Keep the latest stamp if two threads reset at once (the window's thread on Stop, the timing
  // thread after a failed send).
  std::int64_t seen = m_resetStampNs.load(std::memory_order_relaxed);
  while (seen < stampNs &&
         !m_resetStampNs.compare_exchange_weak(seen, stampNs, std::memory_order_relaxed)) {
  }
  m_resetGeneration.fetch_add(1, std::memory_order_release);
}

SchedulerStats FrameScheduler::Stats() const {
  SchedulerStats s;
  s.callbacks = m_callbacks.load(std::memory_order_relaxed);
  s.events = m_events.load(std::memory_order_relaxed);
  s.late = m_late.load(std::memory_order_relaxed);
  s.fallbacks = m_fallbacks.load(std::memory_order_relaxed);
  s.dropped = m_dropped.load(std::memory_order_relaxed);
  s.reseeds = m_reseeds.load(std::memory_order_relaxed);
  s.stolen = m_stolen.load(std::memory_order_relaxed);
  s.framesPerSecond = m_framesPerSecond.load(std::memory_order_relaxed);
  s.periodFrames = m_periodFrames.load(std::memory_order_relaxed);
  return s;
}

void FrameScheduler::ApplyReset() {
  m_dropUpToNs = std::max(m_dropUpToNs, m_resetStampNs.load(std::memory_order_relaxed));
  m_mixer.FadeOut(m_frame);
  Bump(m_dropped, m_pendingCount);
  m_pendingCount = 0;
  m_liveFadeLeft = NoteMixer::kFadeFrames;
}

void FrameScheduler::Schedule(const Event& event) {
  if (event.stampNs <= m_dropUpToNs) {
    Bump(m_dropped);
    return;
  }
  if (m_pendingCount == kMaxPending) {
    Bump(m_dropped);
    return;
  }
  m_pending[m_pendingCount++] = PendingEvent{event.stampNs, event.message};
}

void FrameScheduler::Play(std::uint32_t message, std::int64_t frame) {
  if (IsPercussionNoteOn(message)) {
    const int note = static_cast<int>((message >> 8) & 0x7f);
    const int velocity = static_cast<int>((message >> 16) & 0x7f);
    if (MixerSound* sound = m_cache.Find(note, velocity)) {
      m_mixer.Start(sound, frame, MuteGroup(note));
      return;
    }
    Bump(m_fallbacks);
  }
  // The live synthesizer takes it at the start of the block: it cannot place anything finer
  // than its own 64-frame blocks anyway.
  m_live.Send(message);
}

void FrameScheduler::Process(std::int64_t nowNs, int frames, float* left, float* right) {
  m_cache.EnterCallback();
  if (m_callbacks.load(std::memory_order_relaxed) == 0 && m_floorPeriods > 0.0) {
    // A note sent just after a callback is taken by the next one, a period later, and must
    // still find its frame ahead: the latency covers the period the driver really uses.
    const auto floor =
        static_cast<std::int64_t>(m_floorPeriods * frames * 1e9 / m_nominalFramesPerSecond) +
        m_floorMarginNs;
    if (floor > m_latencyNs.load(std::memory_order_relaxed)) {
      m_latencyNs.store(floor, std::memory_order_relaxed);
    }
  }
  if (m_restart.exchange(false, std::memory_order_acq_rel)) m_loop.Reseed();
  const std::uint64_t reseedsBefore = m_loop.Reseeds();
  m_loop.Update(nowNs, m_frame);
  if (m_loop.Reseeds() != reseedsBefore) Bump(m_reseeds, m_loop.Reseeds() - reseedsBefore);

  const std::uint64_t generation = m_resetGeneration.load(std::memory_order_acquire);
  if (generation != m_seenResetGeneration) {
    m_seenResetGeneration = generation;
    ApplyReset();
  }

  Event event{};
  while (m_ring.TryPop(event)) {
    Bump(m_events);
    Schedule(event);
  }

  const std::int64_t blockEnd = m_frame + frames;
  const std::int64_t latencyNs = m_latencyNs.load(std::memory_order_relaxed);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m_pendingCount; ++i) {
    auto frame =
        static_cast<std::int64_t>(std::llround(m_loop.FrameAt(m_pending[i].stampNs + latencyNs)));
    if (frame >= blockEnd) {
      m_pending[kept++] = m_pending[i];
      continue;
    }
    if (frame < m_frame) {
      Bump(m_late);
      frame = m_frame;
    }
    Play(m_pending[i].message, frame);
  }
  m_pendingCount = kept;

  if (m_liveFadeLeft > 0) {
    // Fade the live synthesizer's output the same way the mixer fades its voices, then silence
    // it for good.
    for (int done = 0; done < frames;) {
      const int n = std::min(frames - done, kScratchFrames);
      std::fill_n(m_scratchLeft.begin(), n, 0.0f);
      std::fill_n(m_scratchRight.begin(), n, 0.0f);
      m_live.Render(n, m_scratchLeft.data(), m_scratchRight.data());
      for (int i = 0; i < n; ++i) {
        const float gain = m_liveFadeLeft > 0 ? static_cast<float>(m_liveFadeLeft) /
                                                    static_cast<float>(NoteMixer::kFadeFrames + 1)
                                              : 0.0f;
        if (m_liveFadeLeft > 0) --m_liveFadeLeft;
        left[done + i] += gain * m_scratchLeft[static_cast<std::size_t>(i)];
        right[done + i] += gain * m_scratchRight[static_cast<std::size_t>(i)];
      }
      done += n;
    }
    if (m_liveFadeLeft == 0) m_live.Silence();
  } else {
    m_live.Render(frames, left, right);
  }

  m_mixer.Render(m_frame, frames, left, right);
  for (int i = 0; i < frames; ++i) {
    left[i] = std::clamp(left[i], -1.0f, 1.0f);
    right[i] = std::clamp(right[i], -1.0f, 1.0f);
  }
  m_frame = blockEnd;
  m_stolen.store(m_mixer.StolenVoices(), std::memory_order_relaxed);
  m_framesPerSecond.store(m_loop.FramesPerSecond(), std::memory_order_relaxed);
  m_periodFrames.store(frames, std::memory_order_relaxed);
  Bump(m_callbacks);
  m_cache.LeaveCallback();
}

}  // namespace ticktavo
