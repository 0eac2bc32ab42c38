// The timing thread against a fake clock at 1,000,000 ticks per second, to the tick.
//
// How the expected ticks are worked out: a sleep of 10 ms moves the clock 10,000 ticks and one
// of 2 ms 2,000; the read after a sleep returns the new time; back-to-back reads (the spin)
// step one tick each. A run's first beat is sent at once, at t1 (tick 0 here), and belongs at
// t1 + 500 on the grid; beat k of the run belongs at t1 + 500 + (k - 1) periods and is sent
// when the spin reaches 500 ticks before that, at t1 + (k - 1) periods. The waits end 20,000,
// 4,000 and 500 ticks before a beat's place; the fade starts 20,000 ticks after it. At 120
// beats per minute the period is 500,000 ticks, at 240 250,000, at 1000 60,000.
#include <gtest/gtest.h>

#include "engine/owner_mailbox.h"
#include "player_rig.h"

namespace ticktavo::testing {
namespace {

using Kind = RecordingOwner::Kind;
using Ticks = std::vector<std::int64_t>;

TEST(BeatPlayerTimingTest, BeatsAreSentOnTheGridOfTheFirstBeatWithTheirPlaceOnIt) {
  PlayerRig rig;
  rig.Start(120, /*stopAfter=*/4);
  ASSERT_TRUE(rig.WaitHeld());

  // The first interval is one period to the tick, like every other.
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000, 1'000'000, 1'500'000}));
  EXPECT_EQ(rig.GridTicks(), (Ticks{0, 500'000, 1'000'000, 1'500'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42, 43}));

  // The waits between the first two beats (whose place is 500,500): 10 ms sleeps while the
  // beat is more than 20 ms away, 2 ms sleeps down to 4 ms before it, a spin after that.
  const auto sleeps = rig.SleepsBetween(0, 500'000);
  ASSERT_FALSE(sleeps.empty());
  for (const auto& sleep : sleeps) {
    if (sleep.milliseconds == 10) {
      EXPECT_LT(sleep.tick, 480'500);
    } else {
      EXPECT_EQ(sleep.milliseconds, 2);
      EXPECT_GE(sleep.tick, 480'500);
      EXPECT_LT(sleep.tick, 496'500);
    }
  }
  EXPECT_EQ(sleeps.front().milliseconds, 10);
  EXPECT_EQ(sleeps.back().milliseconds, 2);
}

TEST(BeatPlayerTimingTest, FadeStartsTwentyMillisecondsAfterTheBeatsPlace) {
  // The first sleep wakes late by `late` ticks, so the checks fall at 0, 10,000 + late,
  // 20,000 + late, ...; the beat's place is 500, so the check at 20,500 is the first to fade
  // and 20,499 is one tick short. Each check then takes the frame one down.
  struct Case {
    std::int64_t late;
    Ticks frameTicks;
  };
  const Case cases[] = {
      {500, {0, 20'500, 30'500, 40'500, 50'500, 60'500}},
      {499, {0, 30'499, 40'499, 50'499, 60'499, 70'499}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.late);
    PlayerRig rig;
    rig.player->SetBlinking(true);
    rig.clock.At(1, [&] { rig.clock.Advance(c.late); });
    rig.Start(120, /*stopAfter=*/2);
    ASSERT_TRUE(rig.WaitHeld());
    Ticks ticks = rig.TicksOf(Kind::kFrame);
    ASSERT_EQ(ticks.size(), 7u);
    EXPECT_EQ(Ticks(ticks.begin(), ticks.begin() + 6), c.frameTicks);
    EXPECT_EQ(rig.owner.Frames(), (std::vector<int>{5, 4, 3, 2, 1, 0, 5}));
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000}));
  }
}

TEST(BeatPlayerTimingTest, TempoChangeAppliesToTheIntervalUnderWay) {
  struct Case {
    const char* what;
    std::int64_t at;  // tick at which the tempo changes (on the timing thread)
    int bpm;
    Ticks sends;
  };
  const Case cases[] = {
      // Coarse wait, slower: the new period applies at once, 1,000,500 − 500.
      {"coarse, slower", 100'000, 60, {0, 1'000'000, 2'000'000}},
      // Coarse wait, faster but not yet due: 250,500 − 500.
      {"coarse, faster", 100'000, 240, {0, 250'000, 500'000}},
      // Coarse wait, faster than the time already gone: at the 300,000 check the beat is
      // overdue and goes out at once, and the grid starts again from it: the next one is a
      // whole new period later, not at once on the old grid (500,000).
      {"coarse, overdue", 300'000, 240, {0, 300'000, 550'000}},
      // Spin (from 498,000), faster: the spin's reading 498,001 finds the beat overdue.
      {"spin, overdue", 498'001, 240, {0, 498'001, 748'001}},
      // Spin, slower: it spins on to 600,500 − 500.
      {"spin, slower", 498'001, 100, {0, 600'000, 1'200'000}},
      // Fine wait (from 490,000), slower: 1,000,500 − 500.
      {"fine, slower", 492'000, 60, {0, 1'000'000, 2'000'000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlayerRig rig;
    rig.clock.At(c.at, [&] { rig.player->SetTempo(c.bpm); });
    rig.Start(120, /*stopAfter=*/3);
    ASSERT_TRUE(rig.WaitHeld());
    EXPECT_EQ(rig.SendTicks(), c.sends);
    const std::string what = c.what;
    if (what == "fine, slower") {
      // A longer period does not send the fine wait back to 10 ms sleeps.
      for (const auto& sleep : rig.SleepsBetween(490'000, 1'000'000))
        EXPECT_EQ(sleep.milliseconds, 2) << sleep.tick;
    }
    if (what == "spin, slower") {
      EXPECT_TRUE(rig.SleepsBetween(498'000, 600'000).empty());  // spinning all the way
    }
  }
}

// Typing a tempo digit by digit while playing: "1" (4 BPM) holds the beat, then "140" makes it
// overdue. It goes out at once and the beats after it keep the new period from there; no two
// beats come closer than one new period.
TEST(BeatPlayerTimingTest, ATempoThatMakesTheBeatOverdueStartsTheGridAgainFromIt) {
  PlayerRig rig;
  rig.clock.At(650'000, [&] { rig.player->SetTempo(4); });
  rig.clock.At(2'450'000, [&] { rig.player->SetTempo(140); });  // 428,571 ticks
  rig.Start(100, /*stopAfter=*/5);                              // 600,000 ticks
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 600'000, 2'450'000, 2'878'571, 3'307'142}));
  EXPECT_EQ(rig.GridTicks(), (Ticks{0, 600'000, 2'450'000, 2'878'571, 3'307'142}));
}

TEST(BeatPlayerTimingTest, StallIsCaughtUpBackToBackOnTheSameGrid) {
  PlayerRig rig;
  // The thread wakes 1.2 s late from the sleep that began at 500,000 (at 1,710,000): beat 3
  // (its place 1,000,500) and beat 4 (1,500,500) go out back to back, each with its own place,
  // and beat 5 is on the unchanged grid.
  rig.clock.At(510'000, [&] { rig.clock.Advance(1'200'000); });
  rig.Start(120, /*stopAfter=*/6);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 500'000, 1'710'000, 1'710'000, 2'000'000, 2'500'000}));
  EXPECT_EQ(rig.GridTicks(), (Ticks{0, 500'000, 1'000'000, 1'500'000, 2'000'000, 2'500'000}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42, 43, 44, 45}));
}

TEST(BeatPlayerTimingTest, EmptyQueueIdlesAndTheGridIsKept) {
  PlayerRig rig;
  rig.QueueNext();  // one beat, queued by hand: nothing refills the queue
  // After it the thread idles in 10 ms sleeps from 500,000. Three beats arrive during the sleep
  // that ends at 1,240,000: the first goes out at once; the next wait starts from the last
  // reading before the idle (500,000), sleeps once to 1,250,000, where the old grid's next
  // beat (1,000,000) is overdue; the one after comes on the grid at 1,500,000.
  rig.clock.At(1'234'567, [&] {
    rig.QueueNext();
    rig.QueueNext();
    rig.QueueNext();
  });
  rig.PlayQueued(120, /*stopAfter=*/4);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'240'000, 1'250'000, 1'500'000}));
  for (const auto& sleep : rig.SleepsBetween(500'000, 1'240'000))
    EXPECT_EQ(sleep.milliseconds, 10) << sleep.tick;
}

TEST(BeatPlayerTimingTest, ChordAndSilentBeatsAndBlinkFrames) {
  PlayerRig rig;
  rig.player->SetBlinking(true);
  rig.player->BeginBeat();
  rig.player->AddNote(38, 100, 4);
  rig.player->AddNote(42, 80, 7);
  rig.player->AddNote(46, 60, 2);
  rig.player->BeginBeat();
  rig.player->AddNote(-1, 0, 0);
  rig.player->AddNote(-1, 0, 3);
  rig.player->BeginBeat();
  rig.player->AddNote(50, 90, 6);
  rig.PlayQueued(120, /*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());

  // 0x99 | note << 8 | velocity << 16: 38/100 → 0x00642699, 42/80 → 0x00502a99,
  // 46/60 → 0x003c2e99, 50/90 → 0x005a3299. The silent beat sends nothing.
  EXPECT_EQ(rig.midi.Messages(),
            (std::vector<std::uint32_t>{0x00642699, 0x00502a99, 0x003c2e99, 0x005a3299}));
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 0, 0, 1'000'000}));
  // The chord's first entry gives frame 4, faded to 0 from 30,000; the silent beat's frame 0 is
  // shown already; then 6.
  EXPECT_EQ(rig.owner.Frames(), (std::vector<int>{4, 3, 2, 1, 0, 6}));
  std::vector<std::pair<int, int>> played;
  for (const auto& c : rig.owner.CallsOf(Kind::kBeatPlayed))
    played.emplace_back(c.velocity, c.note);
  EXPECT_EQ(played, (std::vector<std::pair<int, int>>{{100, 38}, {0, -1}, {90, 50}}));
  // The silent beat still keeps its place.
  EXPECT_EQ(rig.TicksOf(Kind::kBeatPlayed), (Ticks{0, 500'000, 1'000'000}));
}

TEST(BeatPlayerTimingTest, BlinkingOffLeavesTheFrameButStillFades) {
  PlayerRig rig;
  rig.player->SetBlinking(true);
  rig.OnEachBeat([&](int played) {
    if (played == 1) rig.player->SetBlinking(false);
  });
  rig.Start(240, /*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());
  // Only the first beat lights it, and it still goes out.
  EXPECT_EQ(rig.owner.Frames(), (std::vector<int>{5, 4, 3, 2, 1, 0}));
}

// What the window's end of the owner does with what it is given, for the test below.
struct RecordingReceiver final : OwnerMailbox::Receiver {
  void OnMidiError(std::string_view text) override { errors.emplace_back(text); }
  void OnMainBlinkerFrame(std::uint64_t run, int frame) override {
    frames.emplace_back(run, frame);
  }
  void OnBeatPlayed(std::uint64_t run, int, int note) override { beats.emplace_back(run, note); }
  std::vector<std::string> errors;
  std::vector<std::pair<std::uint64_t, int>> frames;
  std::vector<std::pair<std::uint64_t, int>> beats;
};

TEST(BeatPlayerTimingTest, AWindowThatDoesNotAnswerForTwelvePeriodsDelaysNoBeat) {
  FakeClock clock;
  RecordingMidiOut midi;
  midi.SetTimestampSource([&] { return clock.Ticks(); });
  RecordingReceiver window;
  OwnerMailbox mailbox(window);  // never drained while the run plays
  CountingSource source;
  {
    BeatPlayer player(mailbox, clock, midi, TimingPriority::kNormal);
    player.SetBlinking(true);
    player.SetTempo(1000);
    clock.At(670'000, [&] { player.Stop(); });  // after the twelfth beat (660,000)
    const std::uint64_t run = player.Play(source);
    ASSERT_TRUE(player.WaitUntilHeld(kPatience));

    Ticks expected;
    for (std::int64_t k = 0; k < 12; ++k) expected.push_back(k * 60'000);
    Ticks sends;
    for (const auto& call : midi.Sent()) sends.push_back(call.time);
    EXPECT_EQ(sends, expected);

    // When the window comes back it finds every beat in order, and the blinker's latest frame.
    mailbox.Drain();
    ASSERT_EQ(window.beats.size(), 12u);
    for (int k = 0; k < 12; ++k) {
      EXPECT_EQ(window.beats[static_cast<std::size_t>(k)],
                (std::pair<std::uint64_t, int>{run, 40 + k}));
    }
    EXPECT_EQ(window.frames, (std::vector<std::pair<std::uint64_t, int>>{{run, 5}}));
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(mailbox.DroppedBeats(), 0u);
    mailbox.Close();
  }
}

}  // namespace
}  // namespace ticktavo::testing
