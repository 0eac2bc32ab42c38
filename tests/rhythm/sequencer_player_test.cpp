// The sequencer driving the real player: real timing thread, real monotonic clock, a recording
// MIDI device. There is no window thread here, so the test thread plays the window: every call
// into the sequencer, from the test or from the timing thread's notification, is made under
// one mutex, which serializes them the way the window's message loop does.
//
// Timing checks allow for a loaded machine: a beat may come late (the next ones catch up on
// the grid) but never early, and the typical interval is the median, which a few disturbed
// beats cannot move.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/beat_player.h"
#include "engine/clock.h"
#include "recording_transport.h"
#include "rhythm/sequencer.h"
#include "tests/support/recording_midi_out.h"

namespace ticktavo {
namespace {

using namespace std::chrono_literals;
using testing::RecordingMidiOut;
using testing::RecordingView;

constexpr std::int64_t kNanosPerMs = 1'000'000;
constexpr auto kWaitLimit = 20s;  // only reached when something is broken

// The window's side of the player: each call takes the shared "message loop" mutex; after
// Close() the calls return at once, as they do once the window is gone.
class SerializedOwner final : public PlayerOwner {
 public:
  SerializedOwner(std::mutex& loop, Clock& clock) : m_loop(loop), m_clock(clock) {}

  void Attach(Sequencer& sequencer) { m_sequencer = &sequencer; }
  void Close() { m_closed = true; }  // under the loop mutex

  void ShowError(std::string_view text) override {
    std::lock_guard lock(m_loop);
    if (!m_closed) errors.emplace_back(text);
  }
  void SetMainBlinkerFrame(int frame) override {
    std::lock_guard lock(m_loop);
    if (!m_closed) frames.push_back(frame);
  }
  void FadeMainBlinker() override {}
  void BeatPlayed(int /*velocity*/, int note) override {
    std::lock_guard lock(m_loop);
    if (m_closed) return;
    played.push_back({m_clock.Now(), note});
    m_sequencer->OnBeatPlayed();
  }

  struct Played {
    std::int64_t time;
    int note;
  };
  // All under the loop mutex.
  std::vector<Played> played;
  std::vector<int> frames;
  std::vector<std::string> errors;

 private:
  std::mutex& m_loop;
  Clock& m_clock;
  Sequencer* m_sequencer = nullptr;
  bool m_closed = false;
};

struct Send {
  int note;
  int velocity;
  std::int64_t time;
};

std::vector<Send> Sends(const RecordingMidiOut& midi) {
  std::vector<Send> sends;
  for (const auto& call : midi.Sent()) {
    EXPECT_EQ(call.message & 0xffu, 0x99u) << "note-on on the percussion channel";
    sends.push_back({static_cast<int>((call.message >> 8) & 0x7f),
                     static_cast<int>((call.message >> 16) & 0x7f), call.time});
  }
  return sends;
}

std::int64_t Median(std::vector<std::int64_t> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

class SequencerPlayerTest : public ::testing::Test {
 protected:
  SequencerPlayerTest() {
    midi.SetTimestampSource([this] { return clock.Now(); });
    owner.Attach(sequencer);
    player.SetBlinking(true);
  }

  ~SequencerPlayerTest() override {
    std::lock_guard lock(loop);
    if (sequencer.IsPlaying()) sequencer.StopMetronome();
    owner.Close();
  }

  // Waits, without holding the loop, until the device has had this many note-ons.
  void WaitForSends(std::size_t count) {
    ASSERT_TRUE(midi.WaitForSent(count, kWaitLimit)) << "only " << midi.Sent().size();
  }

  void Stop() {
    std::size_t sentAtStop = 0;
    {
      std::lock_guard lock(loop);
      sequencer.StopMetronome();
      sentAtStop = midi.Sent().size();
    }
    // Nothing may sound between the end of the stop and the next start.
    ASSERT_TRUE(player.WaitUntilHeld(kWaitLimit));
    EXPECT_EQ(midi.Sent().size(), sentAtStop);
  }

  MonotonicClock clock;
  RecordingMidiOut midi;
  std::mutex loop;
  std::vector<std::string> log;
  RecordingView view{log};
  SerializedOwner owner{loop, clock};
  BeatPlayer player{owner, clock, midi};
  Sequencer sequencer{player, view};
};

// The default custom measure at 600 beats per minute (100 ms a beat) for two measures.
TEST_F(SequencerPlayerTest, DefaultCustomMeasurePlaysTwoMeasuresOnTheBeat) {
  constexpr int kBpm = 600;
  constexpr std::int64_t kPeriod = 60'000 * kNanosPerMs / kBpm;
  // "31212012121": voice 3 is note 77, voice 1 note 37, voice 2 note 36, '0' sends nothing.
  const std::vector<int> measure = {77, 37, 36, 37, 36, -1, 37, 36, 37, 36, 37};
  std::vector<int> beatNotes = measure;
  beatNotes.insert(beatNotes.end(), measure.begin(), measure.end());
  std::vector<int> sounding;  // beat index of each note-on expected
  for (std::size_t k = 0; k < beatNotes.size(); ++k) {
    if (beatNotes[k] != -1) sounding.push_back(static_cast<int>(k));
  }
  ASSERT_EQ(sounding.size(), 20u);

  {
    std::lock_guard lock(loop);
    sequencer.Voices().m_volume = {100, 101, 102, 103, 104, 105, 106, 107, 108};
    view.customSelected = true;
    sequencer.OnTempoChanged(kBpm);
    ASSERT_TRUE(sequencer.StartMetronome());
  }
  WaitForSends(sounding.size());
  Stop();

  const std::vector<Send> sends = Sends(midi);
  ASSERT_GE(sends.size(), sounding.size());
  for (std::size_t i = 0; i < sounding.size(); ++i) {
    const int note = beatNotes[static_cast<std::size_t>(sounding[i])];
    EXPECT_EQ(sends[i].note, note) << "note-on " << i;
    // Velocity of the voice: 77 is voice 3, 36 voice 2, 37 voice 1.
    EXPECT_EQ(sends[i].velocity, note == 77 ? 102 : note == 36 ? 101 : 100) << i;
  }

  // Beat k is sounded on the grid that starts when beat 0 has been sounded and handled, half
  // a millisecond before its grid point at the earliest: never earlier than k periods after
  // beat 0's note-on, less that half millisecond.
  const std::int64_t t0 = sends[0].time;
  std::vector<std::int64_t> intervals;
  for (std::size_t i = 1; i < sounding.size(); ++i) {
    const std::int64_t earliest = t0 + sounding[i] * kPeriod - kNanosPerMs / 2;
    EXPECT_GE(sends[i].time, earliest) << "note-on " << i << " early";
    if (sounding[i] == sounding[i - 1] + 1) intervals.push_back(sends[i].time - sends[i - 1].time);
  }
  // Typical interval within 2%, and beats 1 to 21 (both on the grid) a mean within 5%.
  RecordProperty("median_interval_ns", std::to_string(Median(intervals)));
  EXPECT_NEAR(static_cast<double>(Median(intervals)), kPeriod, kPeriod * 0.02);
  const double mean =
      static_cast<double>(sends[19].time - sends[1].time) / (sounding[19] - sounding[1]);
  RecordProperty("mean_interval_ns", std::to_string(mean));
  EXPECT_NEAR(mean, kPeriod, kPeriod * 0.05);

  // Every beat, silent ones included, was reported and set the blinker to its voice's frame
  // (default 8; the silent beat's frame is 0).
  std::lock_guard lock(loop);
  ASSERT_GE(owner.played.size(), beatNotes.size());
  for (std::size_t k = 0; k < beatNotes.size(); ++k) {
    EXPECT_EQ(owner.played.at(k).note, beatNotes[k]) << "beat " << k;
    EXPECT_EQ(owner.frames.at(k), beatNotes[k] == -1 ? 0 : 8) << "beat " << k;
  }
  EXPECT_TRUE(owner.errors.empty());
}

// A simple measure, a tempo change while playing, stop, and a fresh start from the first beat.
TEST_F(SequencerPlayerTest, TempoChangeActsAtOnceAndRestartBeginsTheMeasureAgain) {
  constexpr std::int64_t kSlow = 60'000 * kNanosPerMs / 300;  // 200 ms
  constexpr std::int64_t kFast = 60'000 * kNanosPerMs / 750;  // 80 ms
  {
    std::lock_guard lock(loop);
    sequencer.OnBeatsPerMeasureChanged("3");  // voice 2, voice 1, voice 1: 36 37 37
    sequencer.OnTempoChanged(300);
    ASSERT_TRUE(sequencer.StartMetronome());
  }
  WaitForSends(4);
  std::int64_t changedAt = 0;
  {
    std::lock_guard lock(loop);
    // Read before the change: every interval that starts after it is a fast one.
    changedAt = clock.Now();
    sequencer.OnTempoChanged(750);
  }
  WaitForSends(12);
  Stop();

  std::vector<Send> sends = Sends(midi);
  std::vector<std::int64_t> before, after;
  for (std::size_t i = 0; i < sends.size(); ++i) {
    EXPECT_EQ(sends[i].note, i % 3 == 0 ? 36 : 37) << "the measure goes on, not restarted";
    if (i == 0) continue;
    // The interval under way at the change belongs to neither side.
    const std::int64_t interval = sends[i].time - sends[i - 1].time;
    if (sends[i].time < changedAt) before.push_back(interval);
    if (sends[i - 1].time >= changedAt) after.push_back(interval);
  }
  ASSERT_GE(before.size(), 3u);
  ASSERT_GE(after.size(), 6u);
  RecordProperty("median_before_ns", std::to_string(Median(before)));
  RecordProperty("median_after_ns", std::to_string(Median(after)));
  EXPECT_NEAR(static_cast<double>(Median(before)), kSlow, kSlow * 0.02);
  EXPECT_NEAR(static_cast<double>(Median(after)), kFast, kFast * 0.02);
  // The interval under way when the tempo changed was cut short: the next beat came no later
  // than one fast period after the old beat (plus a generous allowance for a busy machine),
  // not a slow period.
  auto next =
      std::find_if(sends.begin(), sends.end(), [&](const Send& s) { return s.time >= changedAt; });
  ASSERT_NE(next, sends.end());
  ASSERT_NE(next, sends.begin());
  EXPECT_LT(next->time - std::prev(next)->time, kSlow - 40 * kNanosPerMs);

  // Start again: from slot 0 of the measure (note 36), at the new tempo.
  midi.Clear();
  {
    std::lock_guard lock(loop);
    sequencer.SetStraightStyle();  // slots 0..2 become voice 1: 37 37 37
    sequencer.OnBeatsPerMeasureChanged("3");
    ASSERT_TRUE(sequencer.StartMetronome());
  }
  WaitForSends(4);
  Stop();
  sends = Sends(midi);
  ASSERT_GE(sends.size(), 4u);
  EXPECT_EQ(sends[0].note, 36);
  EXPECT_EQ(sends[1].note, 37);
  EXPECT_EQ(sends[3].note, 36);
}

// Straight style plays voice 1 on every beat; switching to it while playing does not stop,
// and the change is heard after the two beats already queued.
TEST_F(SequencerPlayerTest, SwitchingToStraightWhilePlayingKeepsPlaying) {
  {
    std::lock_guard lock(loop);
    sequencer.OnBeatsPerMeasureChanged("2");  // 36 37
    sequencer.OnTempoChanged(1000);
    ASSERT_TRUE(sequencer.StartMetronome());
  }
  WaitForSends(2);
  std::size_t queuedBefore = 0;
  {
    std::lock_guard lock(loop);
    sequencer.SetStraightStyle();
    // Each handled notification queued one beat after the two of the start, so beats up to
    // index played + 1 were queued with the old measure, whatever the thread is doing now.
    queuedBefore = owner.played.size();
    EXPECT_TRUE(sequencer.IsPlaying());
  }
  WaitForSends(queuedBefore + 8);
  Stop();
  const std::vector<Send> sends = Sends(midi);
  // No silent beats here, so note-on i is beat i.
  for (std::size_t i = queuedBefore + 2; i < sends.size(); ++i) EXPECT_EQ(sends[i].note, 37) << i;
}

}  // namespace
}  // namespace ticktavo
