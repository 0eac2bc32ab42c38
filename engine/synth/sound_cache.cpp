#include "engine/synth/sound_cache.h"

#include <algorithm>
#include <chrono>

#include "engine/synth/note_renderer.h"

namespace ticktavo {

namespace {

// Requests waiting for the worker beyond this are dropped, oldest first: the player asks for a
// beat's notes two beats ahead, so old requests are for beats long gone.
constexpr std::size_t kMaxPending = 256;
// While removed sounds wait to be freed, the worker looks at them this often.
constexpr auto kRetiredCheck = std::chrono::milliseconds(100);

std::size_t Bytes(const MixerSound& s) {
  return (s.sound.left.size() + s.sound.right.size()) * sizeof(float);
}

}  // namespace

SoundCache::SoundCache(std::string soundfont) : SoundCache(std::move(soundfont), Limits{}) {}

SoundCache::SoundCache(std::string soundfont, Limits limits, double sampleRate)
    : m_soundfont(std::move(soundfont)),
      m_limits(limits),
      m_sampleRate(sampleRate),
      m_worker([this] { WorkerLoop(); }) {}

SoundCache::~SoundCache() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_worker.join();
  // The owner stops the audio callback and its mixer before the cache goes, so nothing reads
  // the sounds any more; the unique_ptrs free them.
}

void SoundCache::Request(int note, int velocity) {
  if (!Valid(note, velocity)) return;
  {
    std::lock_guard lock(m_mutex);
    ++m_wantedClock;
    for (Entry& entry : m_entries) {
      if (entry.note == note && entry.velocity == velocity) {
        entry.lastWanted = m_wantedClock;
        return;
      }
    }
    for (const Pending& p : m_pending) {
      if (p.note == note && p.velocity == velocity) return;
    }
    if (m_pending.size() >= kMaxPending) m_pending.pop_front();
    m_pending.push_back({note, velocity});
  }
  m_wake.notify_one();
}

MixerSound* SoundCache::Find(int note, int velocity) const {
  if (!Valid(note, velocity)) return nullptr;
  return m_table[static_cast<std::size_t>(note) * 128 + static_cast<std::size_t>(velocity)].load(
      std::memory_order_seq_cst);
}

void SoundCache::WaitUntilIdle() {
  std::unique_lock lock(m_mutex);
  m_idle.wait(lock, [this] { return m_pending.empty() && !m_rendering; });
}

std::size_t SoundCache::Size() const {
  std::lock_guard lock(m_mutex);
  return m_entries.size();
}

std::size_t SoundCache::RetiredCount() const {
  std::lock_guard lock(m_mutex);
  return m_retired.size();
}

void SoundCache::WorkerLoop() {
  // The renderer loads the soundfont here rather than in the constructor, so that creating the
  // device does not wait for it, but at once, so that the first sound asked for does not.
  NoteRenderer renderer(m_soundfont, m_sampleRate);
  std::unique_lock lock(m_mutex);
  for (;;) {
    if (m_retired.empty()) {
      m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
    } else {
      m_wake.wait_for(lock, kRetiredCheck, [this] { return m_stop || !m_pending.empty(); });
    }
    FreeRetiredLocked();
    if (m_stop) return;
    if (m_pending.empty()) continue;
    const Pending request = m_pending.front();
    m_pending.pop_front();
    if (Slot(request.note, request.velocity).load() != nullptr) {
      if (m_pending.empty()) m_idle.notify_all();
      continue;
    }
    m_rendering = true;
    lock.unlock();
    auto sound = std::make_unique<MixerSound>(renderer.Render(request.note, request.velocity));
    lock.lock();
    m_rendering = false;
    m_renders.fetch_add(1);
    // A note that makes no sound is kept as an empty sound: found, and it plays nothing, rather
    // than being sent to the live synthesizer every time.
    m_bytes += Bytes(*sound);
    Slot(request.note, request.velocity).store(sound.get(), std::memory_order_seq_cst);
    m_entries.push_back({request.note, request.velocity, std::move(sound), ++m_wantedClock});
    EvictLocked(m_entries.size() - 1);
    if (m_pending.empty()) m_idle.notify_all();
  }
}

void SoundCache::EvictLocked(std::size_t keep) {
  while (m_entries.size() > 1 &&
         (m_entries.size() > m_limits.maxSounds || m_bytes > m_limits.maxBytes)) {
    std::size_t victim = keep == 0 ? 1 : 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
      if (i != keep && m_entries[i].lastWanted < m_entries[victim].lastWanted) victim = i;
    }
    Entry& entry = m_entries[victim];
    Slot(entry.note, entry.velocity).store(nullptr, std::memory_order_seq_cst);
    m_bytes -= Bytes(*entry.sound);
    m_retired.push_back({std::move(entry.sound), m_epoch.load(std::memory_order_seq_cst)});
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(victim));
    if (victim < keep) --keep;
  }
}

void SoundCache::FreeRetiredLocked() {
  const std::uint64_t now = m_epoch.load(std::memory_order_seq_cst);
  std::erase_if(m_retired, [now](const Retired& r) {
    // Unlinked outside a callback (even epoch): no callback can find it any more. Unlinked
    // during one (odd): that callback may have found it, so wait until it has left.
    const bool unreachable = (r.epoch % 2 == 0) || now > r.epoch;
    return unreachable && r.sound->users.load(std::memory_order_acquire) == 0;
  });
}

}  // namespace ticktavo
