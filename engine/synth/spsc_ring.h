#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace ticktavo {

// A bounded single-producer/single-consumer queue. One thread pushes, one other thread pops;
// neither ever locks, allocates or waits, which is what the timing thread (producer) and the
// audio callback (consumer) need. Capacity must be a power of two; the ring holds up to
// Capacity items.
template <typename T, std::size_t Capacity>
class SpscRing {
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                "capacity must be a power of two");
  static_assert(std::is_trivially_copyable_v<T>, "items are copied in and out");

 public:
  // Producer only. False when the ring is full; the item is then not queued.
  bool TryPush(const T& item) {
    const std::size_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail - m_headCache == Capacity) {
      m_headCache = m_head.load(std::memory_order_acquire);
      if (tail - m_headCache == Capacity) return false;
    }
    m_items[tail & (Capacity - 1)] = item;
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. False when the ring is empty.
  bool TryPop(T& item) {
    const std::size_t head = m_head.load(std::memory_order_relaxed);
    if (head == m_tailCache) {
      m_tailCache = m_tail.load(std::memory_order_acquire);
      if (head == m_tailCache) return false;
    }
    item = m_items[head & (Capacity - 1)];
    m_head.store(head + 1, std::memory_order_release);
    return true;
  }

  static constexpr std::size_t capacity() { return Capacity; }

 private:
  // Head and tail on their own cache lines so the two threads do not slow each other down.
  alignas(64) std::atomic<std::size_t> m_head{0};
  std::size_t m_tailCache = 0;  // consumer's last view of m_tail
  alignas(64) std::atomic<std::size_t> m_tail{0};
  std::size_t m_headCache = 0;  // producer's last view of m_head
  alignas(64) std::array<T, Capacity> m_items{};
};

}  // namespace ticktavo
