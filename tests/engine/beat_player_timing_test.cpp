// The timing thread against a fake clock at 1,000,000 ticks per second, to the tick.
//
// How the expected ticks are worked out: a sleep of 10 ms moves the clock 10,000 ticks and one
// of 2 ms 2,000; the read after a sleep returns the new time; back-to-back reads (the spin)
// step one tick each. The first beat of a run sounds at once and its origin is read right
// after its notification. Beat k of a run then belongs at origin + k × period and is sounded
// when the spin reaches 500 ticks before that (the three thresholds are 20,000, 4,000 and 500
// ticks before the beat; the fade starts 20,000 ticks after it). At 120 beats per minute the
// period is 500,000 ticks.
#include <gtest/gtest.h>

#include "player_rig.h"

namespace ticktavo::testing {
namespace {

using Kind = RecordingOwner::Kind;
using Ticks = std::vector<std::int64_t>;

int CountSleeps(const std::vector<FakeClock::SleepCall>& sleeps, int milliseconds) {
  return static_cast<int>(std::count_if(
      sleeps.begin(), sleeps.end(), [&](const auto& s) { return s.milliseconds == milliseconds; }));
}

TEST(BeatPlayerTimingTest, GridAndPhaseBoundariesAtTheirExactTicks) {
  PlayerRig rig;
  rig.Start(120, /*stopAfter=*/4);
  ASSERT_TRUE(rig.WaitHeld());

  // First beat at once (tick 0), origin read at 0, then k × 500,000 − 500.
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 999'500, 1'499'500}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42, 43}));

  // First interval, checks at 0, 10,000, ...: the check at exactly 480,000 (= 500,000 − 20,000)
  // leaves the coarse wait, so 10 ms sleeps at 0..470,000 (48); the fine wait checks every
  // 2,000 from there and leaves at exactly 496,000: 2 ms sleeps at 480,000..494,000 (8).
  auto first = rig.SleepsBetween(0, 499'500);
  ASSERT_EQ(first.size(), 56u);
  for (int i = 0; i < 48; ++i) {
    EXPECT_EQ(first[i].milliseconds, 10);
    EXPECT_EQ(first[i].tick, i * 10'000);
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(first[48 + i].milliseconds, 2);
    EXPECT_EQ(first[48 + i].tick, 480'000 + i * 2'000);
  }

  // Fades: one per sleep step from 20,000 on (the check at exactly 20,000 fades): coarse
  // 20,000..470,000 (46) and fine 480,000..494,000 (8).
  Ticks fades = rig.TicksOf(Kind::kFade);
  Ticks firstFades(fades.begin(),
                   std::find_if(fades.begin(), fades.end(), [](auto t) { return t >= 499'500; }));
  ASSERT_EQ(firstFades.size(), 54u);
  EXPECT_EQ(firstFades.front(), 20'000);
  EXPECT_EQ(firstFades.back(), 494'000);

  // Later intervals start at the spin's last reading, 500 before the grid point: 10 ms sleeps
  // at 499,500..979,500 (49), 2 ms at 989,500..995,500 (4), then the spin.
  auto second = rig.SleepsBetween(499'500, 999'500);
  EXPECT_EQ(CountSleeps(second, 10), 49);
  EXPECT_EQ(CountSleeps(second, 2), 4);
  EXPECT_EQ(second.back().tick, 995'500);
  // Blinking was never switched on: no frames set, but the fades run regardless.
  EXPECT_EQ(rig.owner.Count(Kind::kSetFrame), 0);
}

TEST(BeatPlayerTimingTest, OneTickShortOfEachThresholdKeepsThePhase) {
  PlayerRig rig;
  // The first sleep wakes 9,999 ticks late, so the first interval's checks fall at 0, 19,999,
  // 29,999, ..., each one tick short of a threshold: 19,999 does not fade, 479,999 sleeps 10 ms
  // once more, 495,999 sleeps 2 ms once more.
  rig.clock.At(1, [&] { rig.clock.Advance(9'999); });
  rig.Start(120, /*stopAfter=*/2);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500}));

  auto sleeps = rig.SleepsBetween(0, 499'500);
  ASSERT_EQ(sleeps.size(), 52u);  // 10 ms at 0, 19,999..479,999 (48); 2 ms at 489,999..495,999
  EXPECT_EQ(sleeps[47].tick, 479'999);
  EXPECT_EQ(sleeps[47].milliseconds, 10);
  EXPECT_EQ(sleeps[48].tick, 489'999);
  EXPECT_EQ(sleeps[48].milliseconds, 2);
  EXPECT_EQ(sleeps[51].tick, 495'999);
  EXPECT_EQ(sleeps[51].milliseconds, 2);
  EXPECT_EQ(rig.TicksOf(Kind::kFade).front(), 29'999);
}

TEST(BeatPlayerTimingTest, FadeStartsTwentyMillisecondsAfterTheGridPoint) {
  // A slow notification of the second beat moves the clock; the wait then starts from the
  // spin's reading (500 before the grid point), sleeps once and reads afresh. With a 500-tick
  // handler the checks fall at +10,000 and +20,000 after the grid point (fades at 20,000);
  // with 499 at +9,999, +19,999 (no fade) and +29,999.
  struct Case {
    std::int64_t handlerTicks;
    std::int64_t firstFade;
  };
  for (Case c : {Case{500, 520'000}, Case{499, 529'999}}) {
    PlayerRig rig;
    rig.OnEachBeat([&](int played) {
      if (played == 2) rig.clock.Advance(c.handlerTicks);
    });
    rig.Start(120, /*stopAfter=*/3);
    ASSERT_TRUE(rig.WaitHeld());
    Ticks fades = rig.TicksOf(Kind::kFade);
    auto after = std::find_if(fades.begin(), fades.end(), [](auto t) { return t > 499'500; });
    ASSERT_NE(after, fades.end());
    EXPECT_EQ(*after, c.firstFade) << "handler " << c.handlerTicks;
    // The slow handler does not move the grid.
    EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 999'500}));
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
      // Coarse wait, slower: the new period applies at once, 1,000,000 − 500.
      {"coarse, slower", 100'000, 60, {0, 999'500, 1'999'500}},
      // Coarse wait, faster but not yet due: 250,000 − 500.
      {"coarse, faster", 100'000, 240, {0, 249'500, 499'500}},
      // Coarse wait, faster than the time already gone: at the 300,000 check the beat is
      // overdue and sounds at once; the grid stays (next at 2 × 250,000 − 500).
      {"coarse, overdue", 300'000, 240, {0, 300'000, 499'500}},
      // Spin, faster: the spin reading 497,000 finds the beat overdue.
      {"spin, overdue", 497'000, 240, {0, 497'000, 499'500}},
      // Spin, slower: it spins on to 600,000 − 500.
      {"spin, slower", 497'000, 100, {0, 599'500, 1'199'500}},
      // Fine wait, slower: 1,000,000 − 500.
      {"fine, slower", 482'000, 60, {0, 999'500, 1'999'500}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlayerRig rig;
    rig.clock.At(c.at, [&] { rig.player->SetTempo(c.bpm); });
    rig.Start(120, /*stopAfter=*/3);
    ASSERT_TRUE(rig.WaitHeld());
    EXPECT_EQ(rig.SendTicks(), c.sends);
    if (std::string(c.what) == "fine, slower") {
      // The fine wait keeps going in 2 ms steps up to 996,000: 480,000..994,000 is 258 sleeps,
      // and no 10 ms sleep comes back.
      auto sleeps = rig.SleepsBetween(480'000, 999'500);
      EXPECT_EQ(CountSleeps(sleeps, 2), 258);
      EXPECT_EQ(CountSleeps(sleeps, 10), 0);
    }
    if (std::string(c.what) == "spin, slower") {
      EXPECT_TRUE(rig.SleepsBetween(496'000, 599'500).empty());  // spinning all the way
    }
  }
}

TEST(BeatPlayerTimingTest, StallIsCaughtUpBackToBackOnTheSameGrid) {
  PlayerRig rig;
  // The window takes 1.2 s over the second beat's notification (499,500 → 1,699,500). The wait
  // starts from the stale 499,500, sleeps once to 1,709,500, and then beat 3 (due 999,500) and
  // beat 4 (due 1,499,500) sound back to back; beat 5 is on the old grid at 1,999,500.
  rig.OnEachBeat([&](int played) {
    if (played == 2) rig.clock.Advance(1'200'000);
  });
  rig.Start(120, /*stopAfter=*/6);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 499'500, 1'709'500, 1'709'500, 1'999'500, 2'499'500}));
  EXPECT_EQ(rig.SentNotes(), (std::vector<int>{40, 41, 42, 43, 44, 45}));
}

TEST(BeatPlayerTimingTest, EmptyQueueIdlesAndTheGridIsKept) {
  PlayerRig rig;
  rig.QueueNext();  // one beat only, and nothing queued from the notifications at first
  // The beat arrives during the idle sleep that ends at 1,239,500 (sleeps from 499,500 in
  // 10,000 steps: 74 of them). It sounds at once; the next wait starts from the last reading
  // (499,500), sleeps once to 1,249,500, where the second beat of the old grid (999,500) is
  // overdue; the third comes on the grid at 1,499,500.
  rig.clock.At(1'234'567, [&] {
    rig.SetPlaying(true);
    rig.QueueNext();
  });
  rig.PlayQueued(120, /*stopAfter=*/4);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 1'239'500, 1'249'500, 1'499'500}));
  auto idle = rig.SleepsBetween(499'500, 1'239'500);
  EXPECT_EQ(CountSleeps(idle, 10), 74);
  EXPECT_EQ(CountSleeps(idle, 2), 0);
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
  EXPECT_EQ(rig.SendTicks(), (Ticks{0, 0, 0, 999'500}));
  std::vector<int> frames;
  for (const auto& c : rig.owner.CallsOf(Kind::kSetFrame)) frames.push_back(c.frame);
  EXPECT_EQ(frames, (std::vector<int>{4, 0, 6}));
  std::vector<std::pair<int, int>> played;
  for (const auto& c : rig.owner.CallsOf(Kind::kBeatPlayed))
    played.emplace_back(c.velocity, c.note);
  EXPECT_EQ(played, (std::vector<std::pair<int, int>>{{100, 38}, {0, -1}, {90, 50}}));
  // The silent beat still keeps its place: notified at 499,500.
  EXPECT_EQ(rig.TicksOf(Kind::kBeatPlayed), (Ticks{0, 499'500, 999'500}));
}

TEST(BeatPlayerTimingTest, BlinkingOffLeavesTheFrameButStillFades) {
  PlayerRig rig;
  rig.player->SetBlinking(true);
  rig.OnEachBeat([&](int played) {
    if (played == 1) rig.player->SetBlinking(false);
  });
  rig.Start(240, /*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());
  EXPECT_EQ(rig.owner.Count(Kind::kSetFrame), 1);  // only the first beat, before the switch
  // At 240 bpm (250,000 ticks): the first interval fades at 20,000..220,000 (21) and at
  // 230,000..244,000 (8); the second, whose checks fall at −500 + 10,000k from its grid point,
  // at k = 3..23 (21) and in the fine wait at 239,500..245,500 (4). 54 in all.
  EXPECT_EQ(rig.owner.Count(Kind::kFade), 54);
}

}  // namespace
}  // namespace ticktavo::testing
