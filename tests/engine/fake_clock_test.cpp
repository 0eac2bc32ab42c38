#include "support/fake_clock.h"

#include <gtest/gtest.h>

namespace ticktavo::testing {
namespace {

TEST(FakeClockTest, SleepsMoveTimeAndBackToBackReadsCostOneTick) {
  FakeClock clock(1'000'000, 100);
  EXPECT_EQ(clock.Now(), 100);  // the first read costs nothing
  EXPECT_EQ(clock.Now(), 101);  // a second read with nothing between costs a tick
  clock.Sleep(10);              // 10 ms at 1 MHz = 10,000 ticks
  EXPECT_EQ(clock.Now(), 10'101);
  clock.SetSleepLateness(7);
  clock.Sleep(2);
  EXPECT_EQ(clock.Ticks(), 10'101 + 2'000 + 7);
  ASSERT_EQ(clock.Sleeps().size(), 2u);
  EXPECT_EQ(clock.Sleeps()[1].tick, 10'101);
  EXPECT_EQ(clock.Sleeps()[1].milliseconds, 2);
}

TEST(FakeClockTest, ActionsRunOnceWhenTimeReachesThemInOrder) {
  FakeClock clock;
  std::vector<int> order;
  clock.At(20'000, [&] { order.push_back(2); });
  clock.At(10'000, [&] {
    order.push_back(1);
    clock.Advance(5);  // an action may move the clock itself
  });
  clock.Sleep(9);
  EXPECT_TRUE(order.empty());
  clock.Sleep(1);  // reaches 10,000 exactly
  EXPECT_EQ(order, std::vector<int>{1});
  EXPECT_EQ(clock.Ticks(), 10'005);
  clock.Sleep(10);
  clock.Sleep(10);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace ticktavo::testing
