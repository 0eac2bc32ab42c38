// The player on the real clock: a few quick beats end to end.
#include <gtest/gtest.h>

#include <atomic>

#include "engine/beat_player.h"
#include "support/recording_midi_out.h"
#include "support/recording_owner.h"

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

TEST(BeatPlayerRealClockTest, PlaysQueuedBeatsInOrderAndNeverEarly) {
  MonotonicClock clock;
  RecordingMidiOut midi;
  midi.SetTimestampSource([&clock] { return clock.Now(); });
  RecordingOwner owner;
  constexpr int kBeats = 6;
  {
    BeatPlayer player(owner, clock, midi);
    std::atomic<int> played{0};
    int nextNote = 40;
    auto queueNext = [&] {
      player.BeginBeat();
      player.AddNote(nextNote++, 100, 3);
    };
    owner.OnBeatPlayed([&](int, int) {
      if (++played == kBeats) {
        player.Stop();
      } else {
        queueNext();
      }
    });
    player.SetTempo(1000);  // 60 ms a beat
    queueNext();
    queueNext();
    player.Resume();
    ASSERT_TRUE(player.WaitUntilHeld(std::chrono::seconds(30)));
    owner.Close();
  }

  auto sent = midi.Sent();
  ASSERT_EQ(sent.size(), static_cast<std::size_t>(kBeats));
  for (int k = 0; k < kBeats; ++k) {
    EXPECT_EQ(sent[k].message, NoteOnMessage(40 + k, 100));
  }
  // The grid starts after the first beat was sounded and notified, and beat k is sounded no
  // earlier than half a millisecond before origin + k periods: so never earlier than
  // k × 60 ms − 0.5 ms after the first send, however busy the machine. (Lateness is the
  // benchmark's business, not a test's.)
  constexpr std::int64_t kPeriod = 60'000'000;
  constexpr std::int64_t kEarly = 500'000;
  for (int k = 1; k < kBeats; ++k) {
    EXPECT_GE(sent[k].time - sent[0].time, k * kPeriod - kEarly) << "beat " << k;
  }
  EXPECT_EQ(midi.Count(RecordingMidiOut::Op::kReset), 1);
  EXPECT_EQ(midi.Calls().back().op, RecordingMidiOut::Op::kClose);
}

}  // namespace
}  // namespace ticktavo::testing
