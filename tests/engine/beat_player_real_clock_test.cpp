// The player on the real clock: a few quick beats end to end.
#include <gtest/gtest.h>

#include <atomic>

#include "player_rig.h"

namespace ticktavo::testing {
namespace {

TEST(MonotonicClockTest, CountsNanosecondsAndNeverWakesEarly) {
  MonotonicClock clock;
  EXPECT_EQ(clock.Frequency(), 1'000'000'000);
  const std::int64_t before = clock.Now();
  clock.Sleep(2);
  const std::int64_t after = clock.Now();
  // An absolute deadline on the same clock: the sleep can end late, never early.
  EXPECT_GE(after - before, 2'000'000);
  clock.Sleep(0);  // nothing to wait for
  EXPECT_GE(clock.Now(), after);
}

TEST(BeatPlayerRealClockTest, PlaysItsSourceOnTheGridOfTheFirstBeatAndNeverEarly) {
  MonotonicClock clock;
  RecordingMidiOut midi;
  midi.SetTimestampSource([&clock] { return clock.Now(); });
  RecordingOwner owner;
  CountingSource source;
  constexpr int kBeats = 6;
  {
    BeatPlayer player(owner, clock, midi);
    std::atomic<int> played{0};
    owner.OnBeatPlayed([&](int, int) {
      if (++played == kBeats) player.Stop();
    });
    player.SetTempo(1000);  // 60 ms a beat
    player.Play(source);
    ASSERT_TRUE(player.WaitUntilHeld(std::chrono::seconds(30)));
    owner.Close();
  }

  auto sent = midi.Sent();
  ASSERT_EQ(sent.size(), static_cast<std::size_t>(kBeats));
  // Beat k belongs exactly k periods after the first beat's send time, and is never sent before
  // its place, however busy the machine. (Lateness is the benchmark's business, not a test's.)
  constexpr std::int64_t kPeriod = 60'000'000;
  for (int k = 0; k < kBeats; ++k) {
    EXPECT_EQ(sent[k].message, NoteOnMessage(40 + k, 100));
    EXPECT_EQ(sent[k].gridTime, sent[0].gridTime + k * kPeriod) << "beat " << k;
    EXPECT_GE(sent[k].time, sent[k].gridTime) << "beat " << k;
  }
  EXPECT_EQ(midi.Count(RecordingMidiOut::Op::kReset), 1);
  EXPECT_EQ(midi.Calls().back().op, RecordingMidiOut::Op::kClose);
}

}  // namespace
}  // namespace ticktavo::testing
