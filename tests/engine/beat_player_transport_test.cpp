// Stop, Resume and send errors with the real timing thread on a fake clock (1,000,000 ticks per
// second, 120 beats per minute = 500,000 ticks; see the timing tests for how ticks are worked
// out). Every run ends with the thread held, which the tests wait for, never with a sleep.
#include <gtest/gtest.h>

#include "player_rig.h"

namespace ticktavo::testing {
namespace {

using Kind = RecordingOwner::Kind;
using Op = RecordingMidiOut::Op;
using Ticks = std::vector<std::int64_t>;

// The state a Stop leaves, whichever thread made it.
void ExpectStoppedState(PlayerRig& rig) {
  EXPECT_FALSE(rig.player->Running());
  EXPECT_TRUE(rig.player->ResyncPending());
  EXPECT_EQ(rig.player->QueuedBeats(), 0);
}

TEST(BeatPlayerTransportTest, StopInAWaitHoldsAndTheNextRunStartsAFreshGrid) {
  PlayerRig rig;
  // Stopped during the coarse wait after the second beat (the sleep that ends at 709,500).
  rig.clock.At(700'000, [&] { rig.StopNow(); });
  rig.Start(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  ExpectStoppedState(rig);
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500}));
  EXPECT_EQ(rig.midi.Count(Op::kReset), 1);

  // Beats queued while stopped are not sounded (44 and 45: the first run's notifications had
  // queued 42 and 43, which Stop cleared).
  rig.clock.Advance(5'000'000);  // 5,709,500
  rig.QueueNext();
  rig.QueueNext();
  EXPECT_TRUE(rig.player->WaitUntilHeld(kPatience));
  EXPECT_EQ(rig.midi.Count(Op::kShortMsg), 2);

  // Resume: the first queued beat at once, the grid from the reading taken right after it
  // (5,709,500), then 5,709,500 + k × 500,000 − 500.
  rig.ResumePlaying(/*stopAfter=*/5);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 5'709'500, 6'209'000, 6'709'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 44, 45, 46}));
}

TEST(BeatPlayerTransportTest, StopInTheIdleWaitHoldsThere) {
  PlayerRig rig;
  rig.QueueNext();  // one beat, nothing more: after it the thread idles from 499,500
  rig.clock.At(700'000, [&] { rig.StopNow(); });  // during the idle sleep to 709,500
  rig.PlayQueued(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  ExpectStoppedState(rig);
  EXPECT_EQ(rig.SendTicks(), (Ticks{0}));

  rig.clock.Advance(1'000'000);  // 1,709,500
  rig.QueueNext();
  rig.QueueNext();
  rig.ResumePlaying(/*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());
  // 41 at once, then one period (less 500) after the origin read at 1,709,500.
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'709'500, 2'209'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42}));
}

TEST(BeatPlayerTransportTest, StopAndResumeBeforeTheThreadLooksStillResyncs) {
  PlayerRig rig;
  // Stop, two new beats and Resume all happen while the thread sleeps to 709,500: it never
  // holds, but finds the resync at its next check, sounds the first new beat at once and takes
  // its origin from the next reading (709,501: it follows the reading at 709,500 directly).
  rig.clock.At(700'000, [&] {
    rig.StopNow();
    rig.Start(120, /*stopAfter=*/4);
  });
  rig.Start(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 709'500, 1'209'001}));
  // 42 and 43, queued by the first run's notifications, were cleared by Stop.
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 44, 45}));
}

TEST(BeatPlayerTransportTest, ManyStopsThenOneResumePlays) {
  PlayerRig rig;
  rig.StopNow();
  rig.StopNow();
  rig.StopNow();
  rig.Start(120, /*stopAfter=*/2);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500}));
  EXPECT_EQ(rig.midi.Count(Op::kReset), 4);  // three here, one from the stop after beat 2
}

// The window stops while the timing thread waits inside its notification: Stop must return
// without waiting for the thread, and the new run must take its origin after Resume. Either
// the notification finishes before the window plays again (the thread then holds where it
// stands) or after (the thread goes straight on).
TEST(BeatPlayerTransportTest, StopDuringTheNotificationDoesNotWaitForTheThread) {
  for (bool restartBeforeRelease : {false, true}) {
    SCOPED_TRACE(restartBeforeRelease ? "restart before release" : "release before restart");
    PlayerRig rig;
    rig.owner.CloseGate(Kind::kBeatPlayed);
    rig.Start(120, /*stopAfter=*/0);
    ASSERT_TRUE(rig.owner.WaitUntilAtGate(kPatience));

    rig.StopNow();            // a deadlock here fails the test by timeout
    ExpectStoppedState(rig);  // while the thread is still inside the notification
    EXPECT_EQ(rig.midi.Count(Op::kReset), 1);

    if (!restartBeforeRelease) {
      rig.owner.OpenGate();
      ASSERT_TRUE(rig.WaitHeld());
    }
    rig.clock.Advance(1'000'000);
    EXPECT_EQ(rig.midi.Count(Op::kShortMsg), 1);
    rig.Start(120, /*stopAfter=*/3);
    if (restartBeforeRelease) rig.owner.OpenGate();
    ASSERT_TRUE(rig.WaitHeld());

    // The interrupted pass finishes first, so the first new beat comes one period after the
    // origin read at 1,000,000.
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'499'500, 1'999'500}));
    EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 42, 43}));
  }
}

TEST(BeatPlayerTransportTest, RestartDuringTheBlinkerCallLosesNoBeat) {
  PlayerRig rig;
  rig.player->SetBlinking(true);
  rig.owner.CloseGate(Kind::kSetFrame);
  rig.Start(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.owner.WaitUntilAtGate(kPatience));  // beat 40 sounded, not yet removed

  rig.StopNow();
  rig.clock.Advance(1'000'000);
  rig.Start(120, /*stopAfter=*/3);  // 42 and 43 queued before the blinker call returns
  rig.owner.OpenGate();
  ASSERT_TRUE(rig.WaitHeld());

  // The sounded beat was cleared by Stop; removing "the head" now must not take 42 with it.
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 42, 43}));
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'499'500, 1'999'500}));
}

TEST(BeatPlayerTransportTest, SendErrorStopsLikeTheWindowAndTheNextRunLosesNothing) {
  // With and without the window's own Stop before it plays again.
  for (bool windowStopsFirst : {true, false}) {
    SCOPED_TRACE(windowStopsFirst ? "window stops first" : "resumed directly");
    PlayerRig rig;
    rig.player->SetBlinking(true);
    rig.midi.FailShortMsg(1, kMidiError);  // the second beat's note-on
    rig.Start(120, /*stopAfter=*/0);
    ASSERT_TRUE(rig.WaitHeld());

    EXPECT_EQ(rig.owner.Errors(), std::vector<std::string>{"Error sending Midi message to device"});
    ExpectStoppedState(rig);
    EXPECT_EQ(rig.midi.Count(Op::kReset), 1);
    // The failed beat gets no blinker update and no notification.
    EXPECT_EQ(rig.owner.Count(Kind::kSetFrame), 1);
    EXPECT_EQ(rig.owner.Count(Kind::kBeatPlayed), 1);
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500}));

    if (windowStopsFirst) rig.StopNow();
    rig.clock.Advance(1'000'000);  // 1,499,500
    rig.Start(120, /*stopAfter=*/4);
    ASSERT_TRUE(rig.WaitHeld());
    // Both queued beats sound (43 at once, 44 one period after the fresh origin 1,499,500, less
    // 500), then 45 a period later.
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 1'499'500, 1'999'000, 2'499'000}));
    EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 43, 44, 45}));
    EXPECT_EQ(rig.owner.Errors().size(), 1u);
  }
}

TEST(BeatPlayerTransportTest, SendErrorInAChordSendsNoFurtherEntry) {
  PlayerRig rig;
  rig.midi.FailShortMsg(1, kMidiNoDevice);
  rig.player->BeginBeat();
  rig.player->AddNote(38, 100, 4);
  rig.player->AddNote(42, 80, 4);
  rig.player->AddNote(46, 60, 4);
  rig.PlayQueued(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.midi.Messages(), (std::vector<std::uint32_t>{0x00642699, 0x00502a99}));
  EXPECT_EQ(rig.owner.Count(Kind::kBeatPlayed), 0);
  ExpectStoppedState(rig);
}

}  // namespace
}  // namespace ticktavo::testing
