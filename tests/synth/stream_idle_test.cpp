#include "engine/synth/stream_idle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace ticktavo {
namespace {

using Action = StreamIdle::Action;
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kDelay = 3 * kSecond;

// What the device's control thread sees, in order, and what the stream must do.
enum class Event { kNote, kWake, kQuiet, kPoll };
struct Step {
  double atSeconds;
  Event event;
  Action expected;
};
struct Case {
  const char* name;
  std::vector<Step> steps;
};

Action Apply(StreamIdle& idle, const Step& step) {
  const auto now = static_cast<std::int64_t>(step.atSeconds * kSecond);
  switch (step.event) {
    case Event::kNote:
      return idle.Note(now);
    case Event::kWake:
      return idle.Wake(now);
    case Event::kQuiet:
      idle.Quiet(now);
      return Action::kNone;
    case Event::kPoll:
      return idle.Poll(now);
  }
  return Action::kNone;
}

TEST(StreamIdle, PausesOnlyWhenStoppedForTheIdleDelay) {
  const std::vector<Case> cases = {
      // Opened at 0 and never played: paused at 3 s, not a moment before.
      {"NeverPlayed", {{2.999, Event::kPoll, Action::kNone}, {3.0, Event::kPoll, Action::kPause}}},
      // Playing keeps it running however long nothing is sent (4 BPM: 15 s between beats).
      {"SlowTempo",
       {{1.0, Event::kNote, Action::kNone},
        {16.0, Event::kPoll, Action::kNone},
        {16.0, Event::kNote, Action::kNone},
        {40.0, Event::kPoll, Action::kNone}}},
      // Stop at 10 s: paused at 13 s; the first note of the next Play resumes it.
      {"StopThenPlay",
       {{1.0, Event::kNote, Action::kNone},
        {10.0, Event::kQuiet, Action::kNone},
        {12.9, Event::kPoll, Action::kNone},
        {13.0, Event::kPoll, Action::kPause},
        {20.0, Event::kNote, Action::kResume},
        {30.0, Event::kPoll, Action::kNone}}},
      // The window prepares the notes before Play: that resumes it, and the idle delay starts
      // again from there, so a Prepare without Play pauses it 3 s later.
      {"PrepareWithoutPlay",
       {{4.0, Event::kPoll, Action::kPause},
        {5.0, Event::kWake, Action::kResume},
        {5.0, Event::kNote, Action::kNone},
        {5.5, Event::kQuiet, Action::kNone},
        {6.0, Event::kWake, Action::kNone},
        {8.9, Event::kPoll, Action::kNone},
        {9.0, Event::kPoll, Action::kPause}}},
      // A quick Stop and Play within the delay never pauses.
      {"QuickStopPlay",
       {{1.0, Event::kNote, Action::kNone},
        {2.0, Event::kQuiet, Action::kNone},
        {4.0, Event::kNote, Action::kNone},
        {9.0, Event::kPoll, Action::kNone}}},
      // A Prepare while playing (the window changed a voice) changes nothing.
      {"WakeWhilePlaying",
       {{1.0, Event::kNote, Action::kNone},
        {2.0, Event::kWake, Action::kNone},
        {10.0, Event::kPoll, Action::kNone}}},
  };
  for (const Case& c : cases) {
    StreamIdle idle(kDelay, 0);
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      EXPECT_EQ(Apply(idle, c.steps[i]), c.steps[i].expected) << c.name << ", step " << i;
    }
  }
}

TEST(StreamIdle, DeadlineSaysWhenToLookAgain) {
  StreamIdle idle(kDelay, 5 * kSecond);
  EXPECT_EQ(idle.Deadline(), 8 * kSecond);
  idle.Note(6 * kSecond);
  EXPECT_EQ(idle.Deadline(), std::numeric_limits<std::int64_t>::max()) << "playing";
  idle.Quiet(7 * kSecond);
  EXPECT_EQ(idle.Deadline(), 10 * kSecond);
  EXPECT_EQ(idle.Poll(10 * kSecond), Action::kPause);
  EXPECT_FALSE(idle.Running());
  EXPECT_EQ(idle.Deadline(), std::numeric_limits<std::int64_t>::max()) << "already paused";
}

}  // namespace
}  // namespace ticktavo
