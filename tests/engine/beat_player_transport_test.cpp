// Play, Stop, Resume and send errors with the real timing thread on a fake clock (1,000,000
// ticks per second, 120 beats per minute = 500,000 ticks; see the timing tests for how ticks
// are worked out). Every run ends with the thread held, which the tests wait for, never with
// a sleep.
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
  // Stopped during the coarse wait after the second beat (the sleep that ends at 700,000).
  rig.clock.At(700'000, [&] { rig.player->Stop(); });
  const std::uint64_t firstRun = rig.Start(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  ExpectStoppedState(rig);
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000}));
  EXPECT_EQ(rig.midi.Count(Op::kReset), 1);

  // Play again (42 and 43, queued by the timing thread as the first two sounded, went with the
  // Stop): the first beat at once and the grid from its send time, so the first interval is
  // one period.
  rig.clock.Advance(5'000'000);  // 5,700,000
  const std::uint64_t secondRun = rig.Start(120, /*stopAfter=*/6);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000, 5'700'000, 6'200'000, 6'700'000, 7'200'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 44, 45, 46, 47}));
  // Every Play is a new run, and each notification says which one it belongs to.
  EXPECT_EQ(secondRun, firstRun + 1);
  std::vector<std::uint64_t> runs;
  for (const auto& c : rig.owner.CallsOf(Kind::kBeatPlayed)) runs.push_back(c.run);
  EXPECT_EQ(runs, (std::vector<std::uint64_t>{firstRun, firstRun, secondRun, secondRun, secondRun,
                                              secondRun}));
}

TEST(BeatPlayerTransportTest, StopInTheIdleWaitHoldsThere) {
  PlayerRig rig;
  rig.QueueNext();  // one beat, nothing more: after it the thread idles from 500,000
  rig.clock.At(700'000, [&] { rig.player->Stop(); });  // during the idle sleep to 700,000
  rig.PlayQueued(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  ExpectStoppedState(rig);
  EXPECT_EQ(rig.SendTicks(), (Ticks{0}));

  // Beats queued while stopped are not sounded.
  rig.clock.Advance(1'000'000);  // 1,700,000
  rig.QueueNext();
  rig.QueueNext();
  EXPECT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.midi.Count(Op::kShortMsg), 1);
  rig.PlayQueued(120, /*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'700'000, 2'200'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42}));
}

TEST(BeatPlayerTransportTest, StopAndPlayBeforeTheThreadLooksStillStartsAFreshGrid) {
  PlayerRig rig;
  // Stop and Play happen while the thread sleeps to 700,000: it never holds, but finds the
  // fresh start at its next check and sends the new run's first beat with the next reading
  // (700,001: it follows the reading at 700,000 directly).
  rig.clock.At(700'000, [&] {
    rig.player->Stop();
    rig.Start(120, /*stopAfter=*/4);
  });
  rig.Start(120, /*stopAfter=*/0);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000, 700'001, 1'200'001}));
  // 42 and 43, queued for the first run, were cleared by Stop.
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 44, 45}));
  EXPECT_EQ(rig.source.restarts, 2);
}

TEST(BeatPlayerTransportTest, ManyStopsThenOnePlayPlays) {
  PlayerRig rig;
  rig.player->Stop();
  rig.player->Stop();
  rig.player->Stop();
  rig.Start(120, /*stopAfter=*/2);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000}));
  EXPECT_EQ(rig.midi.Count(Op::kReset), 4);  // three here, one from the stop after beat 2
}

// The window stops and plays again while the timing thread is between sounding a beat and
// waiting for the next (held inside its post, at the blinker frame or at the notification):
// Stop must not wait for the thread, the beat already sounded must not take a beat of the new
// run with it, and the new run must start its own grid, whether the thread goes on before or
// after the new Play.
TEST(BeatPlayerTransportTest, StopAndPlayWhileTheThreadPostsLoseNoBeatAndStartAFreshGrid) {
  for (Kind gate : {Kind::kFrame, Kind::kBeatPlayed}) {
    for (bool playBeforeRelease : {false, true}) {
      SCOPED_TRACE((gate == Kind::kFrame ? "frame, " : "notification, ") +
                   std::string(playBeforeRelease ? "play before release" : "release before play"));
      PlayerRig rig;
      rig.player->SetBlinking(true);
      rig.owner.CloseGate(gate);
      rig.Start(120, /*stopAfter=*/0);
      ASSERT_TRUE(rig.owner.WaitUntilAtGate(kPatience));  // beat 40 sounded, 42 queued

      rig.player->Stop();       // a deadlock here fails the test by timeout
      ExpectStoppedState(rig);  // while the thread is still inside its post
      EXPECT_EQ(rig.midi.Count(Op::kReset), 1);

      if (!playBeforeRelease) {
        rig.owner.OpenGate();
        ASSERT_TRUE(rig.WaitHeld());
      }
      rig.clock.Advance(1'000'000);
      EXPECT_EQ(rig.midi.Count(Op::kShortMsg), 1);
      rig.Start(120, /*stopAfter=*/3);  // 43 and 44
      if (playBeforeRelease) rig.owner.OpenGate();
      ASSERT_TRUE(rig.WaitHeld());

      EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 43, 44}));
      EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'000'000, 1'500'000}));
    }
  }
}

TEST(BeatPlayerTransportTest, SendErrorStopsLikeTheWindowAndTheNextRunLosesNothing) {
  // With and without the window's own Stop before it plays again.
  for (bool windowStopsFirst : {true, false}) {
    SCOPED_TRACE(windowStopsFirst ? "window stops first" : "played directly");
    PlayerRig rig;
    rig.player->SetBlinking(true);
    rig.midi.FailShortMsg(1, kMidiError);  // the second beat's note-on
    rig.Start(120, /*stopAfter=*/0);
    ASSERT_TRUE(rig.WaitHeld());

    // Posted from the timing thread, not shown there.
    EXPECT_EQ(rig.owner.Count(Kind::kPostError), 1);
    EXPECT_EQ(rig.owner.Errors(), std::vector<std::string>{"Error sending Midi message to device"});
    ExpectStoppedState(rig);
    EXPECT_EQ(rig.midi.Count(Op::kReset), 1);
    // The failed beat gets no blinker frame and no notification.
    EXPECT_EQ(rig.owner.Frames(), (std::vector<int>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(rig.owner.Count(Kind::kBeatPlayed), 1);
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000}));

    if (windowStopsFirst) rig.player->Stop();
    rig.clock.Advance(1'000'000);  // 1,500,000
    rig.Start(120, /*stopAfter=*/4);
    ASSERT_TRUE(rig.WaitHeld());
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000, 1'500'000, 2'000'000, 2'500'000}));
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
