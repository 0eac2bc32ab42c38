#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace ticktavo {

// Hands a value from one writer thread to one reader thread without either of them ever
// waiting: the writer fills a buffer of its own and publishes it, the reader takes the latest
// published value. With three buffers the writer never touches the one being read, and a
// value is never seen half written.
template <typename T>
class TripleBuffer {
 public:
  TripleBuffer() = default;
  explicit TripleBuffer(const T& initial) { m_buffers.fill(initial); }
  TripleBuffer(const TripleBuffer&) = delete;
  TripleBuffer& operator=(const TripleBuffer&) = delete;

  // Writer only: makes value the latest.
  void Publish(const T& value) {
    m_buffers[m_back] = value;
    m_back = m_middle.exchange(m_back | kFresh, std::memory_order_acq_rel) & kIndex;
  }

  // Reader only: the latest published value (the initial one before any), valid until the
  // reader's next call.
  const T& Read() {
    if ((m_middle.load(std::memory_order_acquire) & kFresh) != 0) {
      m_front = m_middle.exchange(m_front, std::memory_order_acq_rel) & kIndex;
    }
    return m_buffers[m_front];
  }

 private:
  static constexpr unsigned kIndex = 3;
  static constexpr unsigned kFresh = 4;

  std::array<T, 3> m_buffers{};
  unsigned m_front = 0;               // reader's
  std::atomic<unsigned> m_middle{1};  // the hand-over slot, with the fresh flag
  unsigned m_back = 2;                // writer's
};

}  // namespace ticktavo
