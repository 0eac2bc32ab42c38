#include "rhythm/sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recording_transport.h"

namespace ticktavo {
namespace {

using testing::QueuedNote;
using testing::RecordingBeatSink;
using testing::RecordingView;

const std::string kStartTip = "ToolTip Start the metronome (Enter)";
const std::string kStopTip = "ToolTip Stop the metronome (Enter)";
const std::string kParenthesesBox =
    "ErrorBox Custom Measure Definition Error: Make sure you don't have any mismatched "
    "parentheses in your measure definition";

class SequencerTest : public ::testing::Test {
 protected:
  SequencerTest() {
    // Voice n (1..9) plays at velocity 99 + n and blinks frame n (voice 9: frame 8), so every
    // queued note shows which voice produced it. Instruments stay the defaults: voice 1 note
    // 37, voice 2 note 36, voice 3 note 77, voices 4..9 note 35.
    for (int v = 0; v < kVoiceCount; ++v) {
      sequencer.SetVoiceVolume(v, 100 + v);
      sequencer.SetVoiceBlinkSize(v, std::min(v + 1, 8));
    }
  }

  // Gives voice n (1..9) the note 54 + n, so that voices 4..9 can be told apart too.
  void UseDistinctInstruments() {
    for (int v = 0; v < kVoiceCount; ++v) sequencer.SetVoiceInstrument(v, 20 + v);
  }

  // The first note of every beat queued so far.
  std::vector<int> FirstNotes() const {
    std::vector<int> notes;
    for (const auto& beat : sink.beats) notes.push_back(beat.front().note);
    return notes;
  }

  void PlayBeats(int count) { sink.PlayBeats(count); }

  std::vector<std::string> log;
  RecordingBeatSink sink{log};
  RecordingView view{log};
  Sequencer sequencer{sink, view};
};

TEST_F(SequencerTest, StartSetsTempoThenPlaysFromTheFirstBeat) {
  EXPECT_EQ(sequencer.OnBeatsPerMeasureChanged("4"), 4);
  sequencer.OnTempoChanged(120);
  EXPECT_TRUE(log.empty()) << "stopped: the tempo waits for the start";

  ASSERT_TRUE(sequencer.StartMetronome());
  // Slot 0 is voice 2 (note 36, velocity 101, frame 2), slot 1 voice 1 (37, 100, 1).
  const std::vector<std::string> expected = {
      "SetTempo 120", kStopTip,           "Play",          "BeginBeat", "AddNote 36 101 2",
      "BeginBeat",    "AddNote 37 100 1", "Caption Sto&p",
  };
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(sequencer.IsPlaying());
  EXPECT_EQ(sequencer.CurrentBeat(), 2);
}

// A quick Stop and Play: what the engine still reports of the first run is stale.
TEST_F(SequencerTest, NotificationsOfAnEarlierRunAreNotTheCurrentRuns) {
  sequencer.OnBeatsPerMeasureChanged("4");
  ASSERT_TRUE(sequencer.StartMetronome());
  const std::uint64_t first = sequencer.Run();
  EXPECT_TRUE(sequencer.OnBeatPlayed(first));
  sequencer.StopMetronome();
  EXPECT_FALSE(sequencer.OnBeatPlayed(first)) << "stopped";
  ASSERT_TRUE(sequencer.StartMetronome());
  EXPECT_NE(sequencer.Run(), first);
  EXPECT_FALSE(sequencer.OnBeatPlayed(first));
  EXPECT_TRUE(sequencer.OnBeatPlayed(sequencer.Run()));
}

// The engine is told which sounds the measure can ask for, before it plays them: the voices
// the measure uses, at their volumes (a silent voice needs no sound).
TEST_F(SequencerTest, SoundsOfTheVoicesInUseAreAnnouncedWhenTheyChange) {
  sequencer.OnBeatsPerMeasureChanged("3");  // voices 2 and 1
  sink.prepared.clear();
  sequencer.SetVoiceVolume(0, 64);
  EXPECT_EQ(sink.prepared, (std::vector<std::pair<int, int>>{{37, 64}, {36, 101}}));
  sink.prepared.clear();
  sequencer.SetVoiceVolume(1, 0);
  EXPECT_EQ(sink.prepared, (std::vector<std::pair<int, int>>{{37, 64}}));
}

TEST_F(SequencerTest, DefaultCustomMeasureLoopsWithVoiceNotesAndSilence) {
  view.customSelected = true;
  ASSERT_TRUE(sequencer.StartMetronome());
  EXPECT_EQ(sequencer.GetMeasure().BeatsPerMeasure(), 11);
  PlayBeats(20);  // 2 at the start + 20 = two measures of 11

  // "31212012121": voice 3 is note 77, voice 1 note 37, voice 2 note 36, '0' silent.
  const std::vector<int> measure = {77, 37, 36, 37, 36, -1, 37, 36, 37, 36, 37};
  std::vector<int> twice = measure;
  twice.insert(twice.end(), measure.begin(), measure.end());
  EXPECT_EQ(FirstNotes(), twice);

  // Velocity and blink frame come from the beat's voice; silence is (-1, 0, 0).
  EXPECT_EQ(sink.beats.at(0), (std::vector<QueuedNote>{{77, 102, 3}}));
  EXPECT_EQ(sink.beats.at(1), (std::vector<QueuedNote>{{37, 100, 1}}));
  EXPECT_EQ(sink.beats.at(2), (std::vector<QueuedNote>{{36, 101, 2}}));
  EXPECT_EQ(sink.beats.at(5), (std::vector<QueuedNote>{{-1, 0, 0}}));
  EXPECT_EQ(sequencer.CurrentBeat(), 0);
}

TEST_F(SequencerTest, ChordEntriesInWrittenOrderFirstGivesTheBlinkFrame) {
  UseDistinctInstruments();
  view.customSelected = true;
  view.customText = "(01)(10)(123456789)";
  ASSERT_TRUE(sequencer.StartMetronome());
  PlayBeats(1);
  ASSERT_EQ(sink.beats.size(), 3u);

  // Voice 1: note 55, velocity 100, frame 1. With the silent entry first the beat's frame
  // (taken from its first entry by the engine) is 0.
  EXPECT_EQ(sink.beats.at(0), (std::vector<QueuedNote>{{-1, 0, 0}, {55, 100, 1}}));
  EXPECT_EQ(sink.beats.at(1), (std::vector<QueuedNote>{{55, 100, 1}, {-1, 0, 0}}));
  // Voices 1..9: notes 55..63, velocities 100..108, frames 1..8 and 8.
  std::vector<QueuedNote> nine;
  for (int n = 1; n <= 9; ++n) nine.push_back({54 + n, 99 + n, std::min(n, 8)});
  EXPECT_EQ(sink.beats.at(2), nine);
}

// Every queued beat must add at least one note and at most nine, or the engine's queue would
// no longer hold two beats ahead (or overflow a beat). "()" is the case that would add none.
TEST_F(SequencerTest, EveryBeatAddsOneBeatOfOneToNineNotes) {
  view.customSelected = true;
  view.customText = "1()0(10)(123456789)()";
  ASSERT_TRUE(sequencer.StartMetronome());
  ASSERT_EQ(sink.beats.size(), 2u);
  EXPECT_EQ(sink.beats.at(1), (std::vector<QueuedNote>{{-1, 0, 0}}));
  for (std::size_t played = 1; played <= 18; ++played) {
    sink.PlayBeats(1);
    ASSERT_EQ(sink.beats.size(), 2 + played);
    EXPECT_GE(sink.beats.back().size(), 1u);
    EXPECT_LE(sink.beats.back().size(), 9u);
  }
  // Six beats per measure, 20 queued: beat 19 is slot 1 again, the empty chord.
  EXPECT_EQ(sink.beats.at(19), (std::vector<QueuedNote>{{-1, 0, 0}}));
}

TEST_F(SequencerTest, LengthOneOrZeroQueuesSlotZeroEveryBeat) {
  for (const char* text : {"1", "0", ""}) {
    SCOPED_TRACE(text);
    sink.beats.clear();
    sequencer.OnBeatsPerMeasureChanged(text);
    ASSERT_TRUE(sequencer.StartMetronome());
    PlayBeats(5);
    // Slot 0 of a simple measure is voice 2, note 36.
    EXPECT_EQ(FirstNotes(), std::vector<int>(7, 36));
    EXPECT_EQ(sequencer.CurrentBeat(), 0);
    sequencer.StopMetronome();
  }
}

TEST_F(SequencerTest, CustomTextOfOneVoiceIsAOneBeatMeasure) {
  view.customSelected = true;
  view.customText = "2";
  ASSERT_TRUE(sequencer.StartMetronome());
  PlayBeats(3);
  EXPECT_EQ(sequencer.GetMeasure().BeatsPerMeasure(), 1);
  EXPECT_EQ(FirstNotes(), std::vector<int>(5, 36));
}

// Shrinking the measure while playing: the slot at the current position is still queued
// once, with whatever it last held, and the sequence goes on from slot 0.
TEST_F(SequencerTest, ShrinkingTheLengthWhilePlaying) {
  struct Row {
    const char* beats;
    std::vector<int> nextVoices;  // voices (1..9) of the beats queued after the change
  };
  // Before the change: custom "12345678", slots 0..5 queued, current position 6 (voice 7).
  // The simple measure then rewrites slots 0..length-1 as 2,1,1,...
  const std::vector<Row> rows = {
      {"4", {7, 2, 1, 1, 1, 2}},
      {"6", {7, 2, 1, 1, 1, 1, 1, 2}},
      {"7", {1, 2, 1, 1, 1, 1, 1, 1, 2}},  // slot 6 rewritten, and 7 >= 7 wraps
      {"8", {1, 1, 2}},                    // no shrink below the position
      {"0", {7, 2, 2, 2}},
  };
  UseDistinctInstruments();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.beats);
    view.customSelected = true;
    view.customText = "12345678";
    ASSERT_TRUE(sequencer.StartMetronome());
    PlayBeats(4);
    ASSERT_EQ(sequencer.CurrentBeat(), 6);

    // Switching to Simple Measure does not stop a running metronome.
    view.customSelected = false;
    const std::size_t logSize = log.size();
    sequencer.OnBeatsPerMeasureChanged(row.beats);
    EXPECT_EQ(log.size(), logSize) << "a measure change alone touches neither engine nor window";

    sink.beats.clear();
    PlayBeats(static_cast<int>(row.nextVoices.size()));
    std::vector<int> expectedNotes;
    for (int voice : row.nextVoices) expectedNotes.push_back(54 + voice);
    EXPECT_EQ(FirstNotes(), expectedNotes);
    sequencer.StopMetronome();
  }
}

TEST_F(SequencerTest, TempoChangeWhilePlayingRetunesOnlyTheEngine) {
  sequencer.OnBeatsPerMeasureChanged("4");
  ASSERT_TRUE(sequencer.StartMetronome());
  PlayBeats(1);
  ASSERT_EQ(sequencer.CurrentBeat(), 3);

  log.clear();
  sequencer.OnTempoChanged(200);
  EXPECT_EQ(log, std::vector<std::string>{"SetTempo 200"});
  EXPECT_EQ(sequencer.CurrentBeat(), 3);
  EXPECT_EQ(sequencer.Bpm(), 200);

  // Out of range tempos are held to 4..1000 before they reach the engine.
  log.clear();
  sequencer.OnTempoChanged(1);
  sequencer.OnTempoChanged(5000);
  EXPECT_EQ(log, (std::vector<std::string>{"SetTempo 4", "SetTempo 1000"}));

  // The measure goes on where it was: slot 3 (voice 1), then slot 0 (voice 2).
  sink.beats.clear();
  PlayBeats(2);
  EXPECT_EQ(FirstNotes(), (std::vector<int>{37, 36}));
}

TEST_F(SequencerTest, RefusedCustomMeasureShowsItsMessageAndTouchesNothing) {
  struct Row {
    std::string text;
    std::string box;
  };
  const std::vector<Row> rows = {
      {"12)", kParenthesesBox},
      {"(12", kParenthesesBox},
      {"(1234567890)",
       "ErrorBox Custom Measure Definition Error: You are only allowed to have up to 9 "
       "instruments on a given beat"},
      {"  ",
       "ErrorBox Custom Measure Definition Error: Please enter a custom measure definition "
       "with at least one beat"},
      {std::string(1001, '1'),
       "ErrorBox Custom Measure Definition Error: Please limit your custom measure to 1000 "
       "beats"},
  };
  sequencer.OnBeatsPerMeasureChanged("4");
  view.customSelected = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 20));
    log.clear();
    view.customText = row.text;
    EXPECT_FALSE(sequencer.StartMetronome());
    EXPECT_EQ(log, std::vector<std::string>{row.box});
    EXPECT_FALSE(sequencer.IsPlaying());
    EXPECT_EQ(view.caption, "&Play");
    EXPECT_EQ(sequencer.GetMeasure().BeatsPerMeasure(), 4);
  }
  EXPECT_TRUE(sink.beats.empty());

  // Corrected, the next press starts from slot 0 of the new measure.
  view.customText = "3 1";
  log.clear();
  sequencer.TogglePlay();
  EXPECT_TRUE(sequencer.IsPlaying());
  EXPECT_EQ(FirstNotes(), (std::vector<int>{77, 37}));
}

TEST_F(SequencerTest, StraightAndSimpleStylesNeverParseTheCustomText) {
  view.customText = "not a measure";
  sequencer.OnBeatsPerMeasureChanged("3");
  sequencer.SetStraightStyle();
  ASSERT_TRUE(sequencer.StartMetronome());
  PlayBeats(2);
  EXPECT_EQ(FirstNotes(), std::vector<int>(4, 37));  // voice 1 on every beat of 3
}

TEST_F(SequencerTest, StopResetsTheWindowAndLateNotificationsQueueNothing) {
  sequencer.OnBeatsPerMeasureChanged("4");
  sequencer.TogglePlay();
  PlayBeats(1);

  log.clear();
  sequencer.TogglePlay();
  const std::vector<std::string> expected = {"Stop", "Caption &Play", "BlankMainBlinker",
                                             kStartTip};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(sequencer.IsPlaying());

  // A notification the engine posted before it stopped arrives afterwards: stale.
  log.clear();
  EXPECT_FALSE(sequencer.OnBeatPlayed(sequencer.Run()));
  EXPECT_TRUE(log.empty());

  // Start again: from slot 0 (voice 2) even though the last run stopped at slot 3.
  sink.beats.clear();
  sequencer.TogglePlay();
  EXPECT_EQ(FirstNotes(), (std::vector<int>{36, 37}));
  EXPECT_EQ(view.caption, "Sto&p");
  EXPECT_EQ(view.toolTip, "Stop the metronome (Enter)");
}

TEST_F(SequencerTest, CustomTextChangeStopsOnlyAPlayingMetronome) {
  sequencer.OnCustomMeasureChanged();
  EXPECT_TRUE(log.empty());

  sequencer.OnBeatsPerMeasureChanged("4");
  sequencer.StartMetronome();
  log.clear();
  sequencer.OnCustomMeasureChanged();
  EXPECT_EQ(log.front(), "Stop");
  EXPECT_FALSE(sequencer.IsPlaying());
}

// Voice settings are read when a beat is queued: the two beats already queued keep the old
// values, the third has the new ones.
TEST_F(SequencerTest, VoiceChangesAreHeardFromTheNextQueuedBeat) {
  sequencer.OnBeatsPerMeasureChanged("1");
  sequencer.SetStraightStyle();  // one beat of voice 1
  ASSERT_TRUE(sequencer.StartMetronome());
  sequencer.SetVoiceVolume(0, 50);
  sequencer.SetVoiceInstrument(0, 4);  // hand clap, note 39
  sequencer.SetVoiceBlinkSize(0, 0);
  PlayBeats(1);
  ASSERT_EQ(sink.beats.size(), 3u);
  EXPECT_EQ(sink.beats.at(1), (std::vector<QueuedNote>{{37, 100, 1}}));
  EXPECT_EQ(sink.beats.at(2), (std::vector<QueuedNote>{{39, 50, 0}}));
}

// Whatever a stored setting holds, what reaches the engine is a valid note, velocity and frame.
TEST_F(SequencerTest, OutOfRangeVoiceSettingsAreHeldToValidNotes) {
  struct Row {
    int instrument, volume, blink;
    QueuedNote queued;
  };
  // Voice 1's default instrument is 2 (note 37).
  const std::vector<Row> rows = {
      {47, 128, 9, {37, 127, 8}},
      {-1, -3, -1, {37, 0, 0}},
      {46, 127, 8, {81, 127, 8}},
      {0, 0, 0, {35, 0, 0}},
  };
  sequencer.OnBeatsPerMeasureChanged("1");
  sequencer.SetStraightStyle();
  for (const Row& row : rows) {
    sequencer.SetVoiceInstrument(0, row.instrument);
    sequencer.SetVoiceVolume(0, row.volume);
    sequencer.SetVoiceBlinkSize(0, row.blink);
    sink.beats.clear();
    ASSERT_TRUE(sequencer.StartMetronome());
    EXPECT_EQ(sink.beats.at(0), std::vector<QueuedNote>{row.queued}) << row.instrument;
    sequencer.StopMetronome();
  }
}

}  // namespace
}  // namespace ticktavo
