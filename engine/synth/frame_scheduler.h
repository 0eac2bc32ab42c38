#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/synth/clock_loop.h"
#include "engine/synth/note_mixer.h"
#include "engine/synth/sound_cache.h"
#include "engine/synth/spsc_ring.h"

namespace ticktavo {

// The synthesizer that plays what has no pre-rendered sound: messages other than percussion
// note-ons, and note-ons whose sound was not ready in time. Audio callback thread only.
class LiveSynth {
 public:
  virtual ~LiveSynth() = default;
  virtual void Send(std::uint32_t message) = 0;
  // Adds `frames` frames of its output to left and right.
  virtual void Render(int frames, float* left, float* right) = 0;
  // Silences every voice at once (after a fade-out has brought them down).
  virtual void Silence() = 0;
};

// What the audio callback has seen, for the benchmark and for diagnosis.
struct SchedulerStats {
  std::uint64_t callbacks = 0;
  std::uint64_t events = 0;      // messages taken from the ring
  std::uint64_t late = 0;        // events whose frame had been rendered before they arrived
  std::uint64_t fallbacks = 0;   // note-ons played by the live synthesizer for want of a sound
  std::uint64_t dropped = 0;     // events dropped by a reset
  std::uint64_t reseeds = 0;     // the stream's clock line re-seeded (stall, underrun)
  std::uint64_t stolen = 0;      // mixer voices given up for new notes
  double framesPerSecond = 0.0;  // the stream's rate in CLOCK_MONOTONIC seconds, as estimated
  int periodFrames = 0;          // frames asked for by the last callback
};

// Places each message on the audio frame that corresponds to its stamp plus a fixed latency. The
// timing thread posts messages stamped with CLOCK_MONOTONIC into a lock-free ring: the moment the
// message belongs to on the beat grid when the player says so, else the moment it was sent. The
// audio callback maps each stamp to a frame of the stream with the clock loop and starts the
// pre-rendered sound there, to the frame. So a message that arrives late, by less than the
// latency minus a period, still sounds on its frame. The frame is worked out in the callback that
// renders it, as late as possible, so the clock loop has seen every callback before it.
class FrameScheduler {
 public:
  static constexpr std::size_t kRingSize = 1024;
  // The live synthesizer's output is faded in these blocks on a reset.
  static constexpr int kScratchFrames = 1024;

  // latencyNs: the fixed delay from a message's stamp to its frame.
  FrameScheduler(SoundCache& cache, LiveSynth& live, double framesPerSecond,
                 std::int64_t latencyNs);

  // Timing thread (the single producer). False when the ring is full, that is when the audio
  // callback has not run for a long while.
  bool Post(std::int64_t stampNs, std::uint32_t message);

  // Any thread, before a paused stream runs again: its frames stopped while the card's time went
  // on, so the next callback seeds the clock loop afresh (keeping the rate it has found).
  void Restart() { m_restart.store(true, std::memory_order_release); }

  // Any thread. Every sounding note fades out within a few milliseconds, and every message
  // stamped at or before `stampNs` that has not sounded yet is dropped.
  void RequestReset(std::int64_t stampNs);

  // Audio callback: renders the next `frames` frames of the stream, entered at `nowNs`, adding
  // them to left and right (zeroed by the driver).
  void Process(std::int64_t nowNs, int frames, float* left, float* right);

  // Makes the latency at least `periods` audio periods plus `marginNs`, the period being what
  // the first callback asks for (JACK, for one, decides it). Call before the stream starts. The
  // latency is then fixed for the stream's life.
  void SetLatencyFloor(double periods, std::int64_t marginNs);

  // Raises the latency to at least `latencyNs`, for an output that knows its period only once
  // its stream has started. Any thread, before the first message is posted.
  void RaiseLatency(std::int64_t latencyNs) {
    std::int64_t seen = m_latencyNs.load(std::memory_order_relaxed);
    while (seen < latencyNs &&
           !m_latencyNs.compare_exchange_weak(seen, latencyNs, std::memory_order_relaxed)) {
    }
  }

  // The latency in force (final once the first callback has run). Any thread.
  std::int64_t LatencyNs() const { return m_latencyNs.load(std::memory_order_relaxed); }
  // A copy of the counters; any thread (they are updated by the callback, read whole).
  SchedulerStats Stats() const;

 private:
  struct Event {
    std::int64_t stampNs;
    std::uint32_t message;
  };
  struct PendingEvent {
    std::int64_t stampNs;
    std::uint32_t message;
  };
  static constexpr std::size_t kMaxPending = 256;

  void Schedule(const Event& event);
  void Play(std::uint32_t message, std::int64_t frame);
  void ApplyReset();

  SoundCache& m_cache;
  LiveSynth& m_live;
  std::atomic<std::int64_t> m_latencyNs;
  double m_floorPeriods = 0.0;
  std::int64_t m_floorMarginNs = 0;
  const double m_nominalFramesPerSecond;
  SpscRing<Event, kRingSize> m_ring;
  ClockLoop m_loop;
  NoteMixer m_mixer;
  std::int64_t m_frame = 0;  // first frame of the next block

  // Reset requests: the latest stamp and a generation the callback compares with its own.
  std::atomic<std::int64_t> m_resetStampNs{INT64_MIN};
  std::atomic<std::uint64_t> m_resetGeneration{0};
  std::atomic<bool> m_restart{false};
  std::uint64_t m_seenResetGeneration = 0;
  std::int64_t m_dropUpToNs = INT64_MIN;  // events stamped up to this are dropped
  int m_liveFadeLeft = 0;                 // frames of the live synthesizer's fade still to go

  // Messages waiting for the block that holds their frame. A note's frame and sound are looked
  // up only then: the clock loop has seen every callback up to it, and the worker has had the
  // whole latency to render a sound asked for at the last moment.
  std::array<PendingEvent, kMaxPending> m_pending{};
  std::size_t m_pendingCount = 0;
  std::array<float, kScratchFrames> m_scratchLeft{};
  std::array<float, kScratchFrames> m_scratchRight{};

  std::atomic<std::uint64_t> m_callbacks{0}, m_events{0}, m_late{0}, m_fallbacks{0}, m_dropped{0},
      m_reseeds{0}, m_stolen{0};
  std::atomic<double> m_framesPerSecond{0.0};
  std::atomic<int> m_periodFrames{0};
};

}  // namespace ticktavo
