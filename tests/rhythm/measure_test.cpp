#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure_test_util.h"
#include "rhythm/measure.h"

namespace ticktavo {
namespace {

using testing::DescribeSlots;
using testing::FillWithNines;

TEST(BeatSlot, ParseChordTakesOnlyARunOfAtMostNineDigits) {
  struct Row {
    std::string text;
    bool ok;
    std::string chord;  // the slot afterwards; "9" means left as it was
  };
  const std::vector<Row> rows = {
      {"", true, "()"},
      {"1", true, "(1)"},
      {"10", true, "(10)"},
      {"123456789", true, "(123456789)"},
      {"1234567890", false, "9"},  // ten entries do not fit one beat
      {"1a", false, "9"},
      {"a", false, "9"},
      {"1)", false, "9"},
      {"1 2", false, "9"},  // the parser removes spaces before, ParseChord does not
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Measure measure;
    FillWithNines(measure, 1);
    EXPECT_EQ(measure.Slot(0).ParseChord(row.text), row.ok);
    EXPECT_EQ(DescribeSlots(measure, 0, 1), row.chord);
  }
}

TEST(Measure, LengthIsClampedToTheSlotsThatExist) {
  Measure measure;
  const std::vector<std::pair<int, int>> rows = {
      {-1, 0}, {0, 0}, {1, 1}, {999, 999}, {1000, 1000}, {1001, 1000}, {-2147483647 - 1, 0}};
  for (auto [set, got] : rows) {
    measure.SetBeatsPerMeasure(set);
    EXPECT_EQ(measure.BeatsPerMeasure(), got) << set;
  }
}

// atoi semantics, then clamped into 0..1000 so no negative or oversized length is used.
TEST(ReadBeatsPerMeasure, AtoiThenClamped) {
  const std::vector<std::pair<std::string, int>> rows = {
      {"4", 4},
      {"", 0},
      {"0", 0},
      {"abc", 0},
      {"12abc", 12},
      {" 7", 7},
      {"+3", 3},
      {"-5", 0},
      {"1000", 1000},
      {"1001", 1000},
      {"99999999999999999999", 1000},  // beyond int: atoi's overflow is not ours
      {"1,000", 1},                    // a thousands separator ends the number
      {"007", 7},
  };
  for (const auto& [text, beats] : rows) EXPECT_EQ(ReadBeatsPerMeasure(text), beats) << text;
}

TEST(SimpleMeasure, FirstBeatVoiceTwoThenVoiceOne) {
  struct Row {
    int length;
    int expectedLength;
    std::string slots;  // slots 0..4 afterwards; '9' marks untouched slots
  };
  const std::vector<Row> rows = {
      {4, 4, "21119"},  {1, 1, "29999"},
      {0, 0, "29999"},   // slot 0 is written even when nothing is played
      {-3, 0, "29999"},  // a negative length is used as 0
      {5, 5, "21111"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.length);
    Measure measure;
    FillWithNines(measure, 7);
    SetSimpleMeasure(measure, row.length);
    EXPECT_EQ(measure.BeatsPerMeasure(), row.expectedLength);
    EXPECT_EQ(DescribeSlots(measure, 0, 5), row.slots);
  }

  Measure measure;
  FillWithNines(measure, 7);
  SetSimpleMeasure(measure, 5000);
  EXPECT_EQ(measure.BeatsPerMeasure(), kMeasureCapacity);
  EXPECT_EQ(DescribeSlots(measure, kMeasureCapacity - 1, 1), "1");
}

TEST(StraightStyle, VoiceOneOverTheLengthInUseOnly) {
  Measure measure;
  FillWithNines(measure, 3);
  measure.Slot(1).ParseChord("23");
  SetStraightStyle(measure);
  // A chord becomes plain; the length stays; slot 3 is beyond it and untouched.
  EXPECT_EQ(DescribeSlots(measure, 0, 4), "1119");
  EXPECT_EQ(measure.BeatsPerMeasure(), 3);

  FillWithNines(measure, 0);
  SetStraightStyle(measure);
  EXPECT_EQ(DescribeSlots(measure, 0, 1), "9");
}

}  // namespace
}  // namespace ticktavo
