#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/synth/note_mixer.h"

namespace ticktavo {

// The pre-rendered sounds of (note, velocity) pairs. A worker thread renders the sounds asked
// for with an offline synthesizer; the audio callback looks them up without locking. The cache
// is bounded: when it holds too many sounds (or too many bytes), the least recently asked-for
// one is removed, and freed once no voice plays it and no callback can still be looking at it.
class SoundCache {
 public:
  struct Limits {
    std::size_t maxSounds = 64;
    std::size_t maxBytes = std::size_t{64} << 20;
  };

  explicit SoundCache(std::string soundfont);
  // sampleRate: the rate the sounds are rendered at, the audio output's.
  SoundCache(std::string soundfont, Limits limits, double sampleRate = kDefaultSampleRate);
  ~SoundCache();
  SoundCache(const SoundCache&) = delete;
  SoundCache& operator=(const SoundCache&) = delete;

  // Asks for the sound of this note at this velocity. Any thread except the audio callback's;
  // it only queues the request (and marks a cached sound as recently wanted), so it never waits
  // for a render.
  void Request(int note, int velocity);

  // Audio callback only, between EnterCallback and LeaveCallback: the sound when it is ready,
  // else null. The pointer stays valid until LeaveCallback, and for as long as a mixer voice
  // holds it (MixerSound::users).
  MixerSound* Find(int note, int velocity) const;
  void EnterCallback() { m_epoch.fetch_add(1, std::memory_order_seq_cst); }
  void LeaveCallback() { m_epoch.fetch_add(1, std::memory_order_seq_cst); }

  // Blocks until every request made so far has been rendered (or has failed). For tests and
  // the benchmark; the program itself never waits for the worker.
  void WaitUntilIdle();

  // Sounds in the cache and sounds removed but not yet freed.
  std::size_t Size() const;
  std::size_t RetiredCount() const;
  // Number of sounds rendered since the start.
  std::uint64_t Renders() const { return m_renders.load(); }

 private:
  struct Entry {
    int note;
    int velocity;
    std::unique_ptr<MixerSound> sound;
    std::uint64_t lastWanted;
  };
  struct Retired {
    std::unique_ptr<MixerSound> sound;
    std::uint64_t epoch;  // m_epoch when it was unlinked from the table
  };
  struct Pending {
    int note;
    int velocity;
  };

  static bool Valid(int note, int velocity) {
    return note >= 0 && note < 128 && velocity > 0 && velocity < 128;
  }
  std::atomic<MixerSound*>& Slot(int note, int velocity) {
    return m_table[static_cast<std::size_t>(note) * 128 + static_cast<std::size_t>(velocity)];
  }

  void WorkerLoop();
  void EvictLocked(std::size_t keep);  // keep: index of the entry that must stay
  void FreeRetiredLocked();

  const std::string m_soundfont;
  const Limits m_limits;
  const double m_sampleRate;
  // One slot per (note, velocity); written by the worker, read by the audio callback.
  std::array<std::atomic<MixerSound*>, 128 * 128> m_table{};
  std::atomic<std::uint64_t> m_epoch{0};  // odd while a callback runs
  std::atomic<std::uint64_t> m_renders{0};

  mutable std::mutex m_mutex;  // everything below
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<Pending> m_pending;
  std::vector<Entry> m_entries;
  std::vector<Retired> m_retired;
  std::size_t m_bytes = 0;
  std::uint64_t m_wantedClock = 0;
  bool m_rendering = false;
  bool m_stop = false;
  std::thread m_worker;  // last: starts after everything above exists
};

}  // namespace ticktavo
