#include "engine/synth/spsc_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace ticktavo {
namespace {

TEST(SpscRing, EmptyRingPopsNothing) {
  SpscRing<int, 4> ring;
  int item = -1;
  EXPECT_FALSE(ring.TryPop(item));
  EXPECT_EQ(item, -1);
}

TEST(SpscRing, FullRingRefusesAndKeepsWhatItHolds) {
  SpscRing<int, 4> ring;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ring.TryPush(i));
  EXPECT_FALSE(ring.TryPush(99));  // a fifth item does not fit and overwrites nothing
  int item = -1;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(ring.TryPop(item));
    EXPECT_EQ(item, i);
  }
  EXPECT_FALSE(ring.TryPop(item));
}

TEST(SpscRing, WrapsAroundInOrder) {
  // 4 slots, 3 items in flight at a time, 1000 items: the indices wrap 250 times.
  SpscRing<int, 4> ring;
  int next = 0;
  int expected = 0;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(ring.TryPush(next++));
  while (expected < 1000) {
    int item = -1;
    ASSERT_TRUE(ring.TryPop(item));
    EXPECT_EQ(item, expected++);
    if (next < 1000) {
      ASSERT_TRUE(ring.TryPush(next++));
    }
  }
  int item;
  EXPECT_FALSE(ring.TryPop(item));
}

TEST(SpscRing, ProducerAndConsumerThreadsLoseNothing) {
  // The producer retries when the ring is full, the consumer when it is empty (yielding, not
  // sleeping): every item arrives once and in order. Run under ThreadSanitizer as well.
  struct Item {
    std::uint64_t sequence;
    std::uint64_t check;
  };
  SpscRing<Item, 64> ring;
  constexpr std::uint64_t kItems = 200'000;
  std::thread producer([&] {
    for (std::uint64_t i = 0; i < kItems; ++i) {
      while (!ring.TryPush(Item{i, ~i})) std::this_thread::yield();
    }
  });
  std::uint64_t expected = 0;
  bool inOrder = true;
  while (expected < kItems) {
    Item item{};
    if (!ring.TryPop(item)) {
      std::this_thread::yield();
      continue;
    }
    inOrder = inOrder && item.sequence == expected && item.check == ~expected;
    ++expected;
  }
  producer.join();
  EXPECT_TRUE(inOrder);
  Item rest{};
  EXPECT_FALSE(ring.TryPop(rest));
}

}  // namespace
}  // namespace ticktavo
