// The sequencer driving the real player and its timing thread, on a fake clock at 1,000,000
// ticks per second with a recording MIDI device, so every send is checked to the tick. The
// test thread plays the window: what the window does while the metronome plays is handed to it
// at a tick of the fake clock, and the timing thread waits there until it is done, as if the
// window had acted at that very moment.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/beat_player.h"
#include "recording_transport.h"
#include "rhythm/sequencer.h"
#include "support/fake_clock.h"
#include "support/recording_midi_out.h"
#include "support/recording_owner.h"

namespace ticktavo {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::RecordingMidiOut;
using testing::RecordingOwner;
using testing::RecordingView;
using Ticks = std::vector<std::int64_t>;

constexpr auto kWaitLimit = 20s;  // only reached when something is broken

class SequencerPlayerTest : public ::testing::Test {
 protected:
  SequencerPlayerTest() {
    midi.SetTimestampSource([this] { return clock.Ticks(); });
    owner.SetTimestampSource([this] { return clock.Ticks(); });
    player.SetBlinking(true);
  }

  ~SequencerPlayerTest() override {
    if (sequencer.IsPlaying()) sequencer.StopMetronome();
    owner.Close();
  }

  // Runs fn on the test thread when the clock reaches tick.
  void OnWindowAt(std::int64_t tick, std::function<void()> fn) {
    clock.At(tick, [this, fn] {
      std::unique_lock lock(m_mutex);
      m_pending = fn;
      m_changed.notify_all();
      m_changed.wait(lock, [this] { return !m_pending; });
    });
  }

  // The speed trainer on, over a simple measure of `beats` starting at `bpm`.
  void StartTrainer(int step, int every, int target, std::string_view beats, int bpm) {
    PracticeSettings practice;
    practice.trainer = true;
    practice.trainerStep = step;
    practice.trainerEvery = every;
    practice.trainerTarget = target;
    sequencer.SetPractice(practice);
    sequencer.OnBeatsPerMeasureChanged(beats);
    sequencer.OnTempoChanged(bpm);
  }

  // Plays until the clock reaches `until`, where the engine is stopped, doing the window's
  // work meanwhile.
  void PlayUntil(std::int64_t until) {
    clock.At(until, [this] {
      player.Stop();
      std::lock_guard lock(m_mutex);
      m_finished = true;
      m_changed.notify_all();
    });
    ASSERT_TRUE(sequencer.StartMetronome());
    std::unique_lock lock(m_mutex);
    for (;;) {
      ASSERT_TRUE(m_changed.wait_for(lock, kWaitLimit, [this] { return m_pending || m_finished; }));
      if (!m_pending) break;
      const std::function<void()> fn = m_pending;
      lock.unlock();
      fn();
      lock.lock();
      m_pending = nullptr;
      m_changed.notify_all();
    }
    m_finished = false;
    lock.unlock();
    ASSERT_TRUE(player.WaitUntilHeld(kWaitLimit));
  }

  Ticks SendTicks() const { return midi.SendTimes(); }
  std::vector<int> SentNotes() const { return midi.SentNotes(); }

  FakeClock clock{1'000'000};
  RecordingMidiOut midi;
  std::vector<std::string> log;
  RecordingView view{log};
  RecordingOwner owner;
  BeatPlayer player{owner, clock, midi, TimingPriority::kNormal};
  Sequencer sequencer{player, view};

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::function<void()> m_pending;
  bool m_finished = false;
};

// The default custom measure at 600 beats per minute (100,000 ticks a beat), two measures.
TEST_F(SequencerPlayerTest, DefaultCustomMeasurePlaysTwoMeasuresOnTheGrid) {
  // "31212012121": voice 3 is note 77, voice 1 note 37, voice 2 note 36, '0' sends nothing.
  const std::vector<int> measure = {77, 37, 36, 37, 36, -1, 37, 36, 37, 36, 37};
  std::vector<int> beatNotes = measure;
  beatNotes.insert(beatNotes.end(), measure.begin(), measure.end());

  for (int v = 0; v < kVoiceCount; ++v) sequencer.SetVoiceVolume(v, 100 + v);
  view.customSelected = true;
  sequencer.OnTempoChanged(600);
  PlayUntil(2'150'000);  // 22 beats: 0 .. 2,100,000

  Ticks expectedTicks;
  std::vector<int> expectedNotes;
  std::vector<int> expectedVelocities;
  for (std::size_t k = 0; k < beatNotes.size(); ++k) {
    if (beatNotes[k] == -1) continue;
    expectedTicks.push_back(static_cast<std::int64_t>(k) * 100'000);
    expectedNotes.push_back(beatNotes[k]);
    // Velocity of the voice: 77 is voice 3, 36 voice 2, 37 voice 1.
    expectedVelocities.push_back(beatNotes[k] == 77 ? 102 : beatNotes[k] == 36 ? 101 : 100);
  }
  EXPECT_EQ(SendTicks(), expectedTicks);
  EXPECT_EQ(SentNotes(), expectedNotes);
  std::vector<int> velocities;
  for (const auto& call : midi.Sent()) velocities.push_back(static_cast<int>(call.message >> 16));
  EXPECT_EQ(velocities, expectedVelocities);

  // Every beat, silent ones included, was reported, in order, for this run.
  const auto played = owner.CallsOf(RecordingOwner::Kind::kBeatPlayed);
  ASSERT_EQ(played.size(), beatNotes.size());
  for (std::size_t k = 0; k < beatNotes.size(); ++k) {
    EXPECT_EQ(played[k].note, beatNotes[k]) << "beat " << k;
    EXPECT_EQ(played[k].run, sequencer.Run());
  }
  EXPECT_TRUE(owner.Errors().empty());
}

// A simple measure, a tempo change while playing, stop, and a fresh start from the first beat.
TEST_F(SequencerPlayerTest, TempoChangeActsAtOnceAndRestartBeginsTheMeasureAgain) {
  sequencer.OnBeatsPerMeasureChanged("3");  // voice 2, voice 1, voice 1: 36 37 37
  sequencer.OnTempoChanged(300);            // 200,000 ticks
  // During the wait after the fourth beat (600,000): the interval under way becomes 80,000
  // ticks long, counted from that beat's place, and the measure goes on where it was.
  OnWindowAt(650'000, [this] { sequencer.OnTempoChanged(750); });
  PlayUntil(1'000'000);
  EXPECT_EQ(SendTicks(), (Ticks{0, 200'000, 400'000, 600'000, 680'000, 760'000, 840'000, 920'000}));
  EXPECT_EQ(SentNotes(), (std::vector<int>{36, 37, 37, 36, 37, 37, 36, 37}));

  // Start again: from slot 0 of the measure, at the new tempo, on a fresh grid.
  sequencer.StopMetronome();
  midi.Clear();
  clock.Advance(1'000'000);  // 2,000,000
  PlayUntil(2'250'000);
  EXPECT_EQ(SendTicks(), (Ticks{2'000'000, 2'080'000, 2'160'000, 2'240'000}));
  EXPECT_EQ(SentNotes(), (std::vector<int>{36, 37, 37, 36}));
}

// Switching to Straight while playing does not stop; the change is heard after the two beats
// already queued.
TEST_F(SequencerPlayerTest, SwitchingToStraightWhilePlayingKeepsPlaying) {
  sequencer.OnBeatsPerMeasureChanged("2");  // 36 37
  sequencer.OnTempoChanged(1000);           // 60,000 ticks
  // After the third beat (120,000) the fourth and fifth are queued already.
  OnWindowAt(130'000, [this] { sequencer.SetStraightStyle(); });
  PlayUntil(450'000);
  EXPECT_EQ(SentNotes(), (std::vector<int>{36, 37, 36, 37, 36, 37, 37, 37}));
  EXPECT_TRUE(sequencer.IsPlaying());
}

// The speed trainer: +10 BPM every 2 measures of 4 from 200 up to 260. Each tempo holds for 8
// intervals; the interval before a measure's first beat still has the old period, the ones
// after it the new: 60,000,000 / bpm ticks, truncated.
TEST_F(SequencerPlayerTest, TrainerStepsTheTempoAtMeasureStartsUpToItsTarget) {
  struct Row {
    int intervals;
    std::int64_t ticks;
  };
  const Row rows[] = {{8, 300'000}, {8, 285'714}, {8, 272'727}, {8, 260'869},
                      {8, 250'000}, {8, 240'000}, {6, 230'769}};  // 260 from there on
  Ticks expected{0};
  for (const Row& row : rows) {
    for (int i = 0; i < row.intervals; ++i) expected.push_back(expected.back() + row.ticks);
  }
  StartTrainer(/*step=*/10, /*every=*/2, /*target=*/260, /*beats=*/"4", /*bpm=*/200);
  PlayUntil(expected.back() + 1);
  EXPECT_EQ(SendTicks(), expected);
  // Each change comes with an accent (the measure's first beat, voice 2: note 36).
  const std::vector<int> notes = SentNotes();
  for (std::size_t k = 8; k < notes.size(); k += 8) EXPECT_EQ(notes[k], 36) << k;

  // Slowing down when the target is below: one step a measure, and never past it.
  sequencer.StopMetronome();
  midi.Clear();
  clock.Advance(1'000'000);
  const std::int64_t start = clock.Ticks();
  PracticeSettings practice = sequencer.Practice();
  practice.trainerTarget = 185;
  practice.trainerEvery = 1;
  sequencer.SetPractice(practice);
  // 200 for 4 intervals, 190 (315,789) for 4, then 185 (324,324).
  Ticks slower{start};
  for (std::int64_t ticks : {300'000, 300'000, 300'000, 300'000, 315'789, 315'789, 315'789, 315'789,
                             324'324, 324'324, 324'324, 324'324})
    slower.push_back(slower.back() + ticks);
  PlayUntil(slower.back() + 1);
  EXPECT_EQ(SendTicks(), slower);
}

// A tempo the user sets while the trainer plays wins over the steps already queued (worked
// out from the old tempo), and the trainer goes on from it. One-beat measures, +10 every
// measure from 600 BPM; the user sets 300 (200,000 ticks) during the wait after beat 3.
//   beat 1 at 0 (600: 100,000), beat 2 at 100,000 (610: 98,360), beat 3 at 198,360 (620),
//   the interval under way becomes 200,000: beat 4 at 398,360 (its queued 630 is dropped),
//   beat 5 at 598,360 (640 dropped), beat 6 at 798,360 (310 from 300: 193,548),
//   beat 7 at 991,908 (320: 187,500), beat 8 at 1,179,408 (330).
TEST_F(SequencerPlayerTest, TempoSetWhileTheTrainerPlaysOverridesQueuedSteps) {
  StartTrainer(/*step=*/10, /*every=*/1, /*target=*/1000, /*beats=*/"1", /*bpm=*/600);
  OnWindowAt(250'000, [this] { sequencer.OnTempoChanged(300); });
  PlayUntil(1'200'000);
  EXPECT_EQ(SendTicks(),
            (Ticks{0, 100'000, 198'360, 398'360, 598'360, 798'360, 991'908, 1'179'408}));
  // Only the steps that took effect are reported to the window.
  std::vector<int> reported;
  for (const auto& call : owner.CallsOf(RecordingOwner::Kind::kTempo)) {
    EXPECT_EQ(call.run, sequencer.Run());
    reported.push_back(call.bpm);
  }
  EXPECT_EQ(reported, (std::vector<int>{610, 620, 310, 320, 330}));

  // The window shows the steps as they come; Stop puts back the user's tempo.
  log.clear();
  EXPECT_TRUE(sequencer.OnTrainerTempo(sequencer.Run(), 320));
  EXPECT_EQ(sequencer.Bpm(), 320);
  EXPECT_EQ(sequencer.UserBpm(), 300);
  sequencer.StopMetronome();
  EXPECT_EQ(sequencer.Bpm(), 300);
  EXPECT_EQ(log.back(), "ShowTempo 300");
  EXPECT_FALSE(sequencer.OnTrainerTempo(sequencer.Run(), 330)) << "stopped";
}

// Muted measures keep time: the beats of a silent measure send nothing but keep their places.
TEST_F(SequencerPlayerTest, MutedMeasuresSendNothingAndKeepTheGrid) {
  struct Row {
    const char* what;
    bool straight;
    const char* beats;
    int played;
    int silent;
    std::vector<int> sounding;  // beats (from 0) that send a note-on, of the first 24
  };
  const Row rows[] = {
      {"simple 4, 2 played 1 silent",
       false,
       "4",
       2,
       1,
       {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 16, 17, 18, 19}},
      // Straight counts the beats field's number of beats as one measure.
      {"straight 3, 1 played 1 silent",
       true,
       "3",
       1,
       1,
       {0, 1, 2, 6, 7, 8, 12, 13, 14, 18, 19, 20}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    midi.Clear();
    clock.Advance(1'000'000);
    const std::int64_t start = clock.Ticks();
    PracticeSettings practice;
    practice.mute = true;
    practice.mutePlayed = row.played;
    practice.muteSilent = row.silent;
    sequencer.SetPractice(practice);
    sequencer.OnBeatsPerMeasureChanged(row.beats);
    if (row.straight) sequencer.SetStraightStyle();
    sequencer.OnTempoChanged(600);  // 100,000 ticks
    PlayUntil(start + 23 * 100'000 + 1);
    Ticks expected;
    for (int k : row.sounding) expected.push_back(start + k * 100'000);
    EXPECT_EQ(SendTicks(), expected);
    sequencer.StopMetronome();
  }
}

}  // namespace
}  // namespace ticktavo
