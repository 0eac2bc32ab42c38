// The custom measure text, as users type it:
//
//   text  := beat*            every ' ' is removed first, wherever it stands
//   beat  := digit            '0' silence, '1'..'9' voices 1..9
//          | '(' digit* ')'   one chord of at most nine entries, in the order written;
//                             '0' inside is a silent entry; "()" is one silent beat
//
// Anything else is refused: ')' outside a chord and any other character give 1, a chord of
// more than nine digits 2, a '(' whose digits are not followed by ')' 3, a text of nothing
// but spaces 4, more than 1000 beats 5. A refused text keeps the length; the slots written
// before the error keep their new contents.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure_test_util.h"
#include "rhythm/measure_parser.h"

namespace ticktavo {
namespace {

using testing::DescribeSlots;
using testing::FillWithNines;

constexpr int kOldLength = 7;  // the length every case starts from

struct ParseCase {
  std::string text;
  MeasureParseResult result;
  // On success the new length; on failure kOldLength (unchanged).
  int length;
  // The slots from 0 on, in text notation: all beats on success, those written before the
  // error on failure. The slot after them must still hold the prefilled '9'.
  std::string slots;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class ParseCustomMeasureTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCustomMeasureTable, ResultLengthAndSlots) {
  const ParseCase& c = GetParam();
  Measure measure;
  FillWithNines(measure, kOldLength);

  EXPECT_EQ(ParseCustomMeasure(c.text, measure), c.result);
  EXPECT_EQ(measure.BeatsPerMeasure(), c.length);

  // Count the beats the expected notation describes, to know where the untouched slots start.
  int written = 0;
  for (std::size_t i = 0; i < c.slots.size(); ++i) {
    if (c.slots[i] == '(') i = c.slots.find(')', i);
    ++written;
  }
  EXPECT_EQ(DescribeSlots(measure, 0, written), c.slots);
  EXPECT_EQ(DescribeSlots(measure, written, 1), "9") << "slot after the written ones touched";
}

using R = MeasureParseResult;

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseCustomMeasureTable,
    ::testing::Values(
        // The default: 11 plain beats.
        ParseCase{"31212012121", R::Ok, 11, "31212012121"},
        ParseCase{"1(23)0(19)", R::Ok, 4, "1(23)0(19)"},
        // Spaces vanish anywhere, also inside a chord.
        ParseCase{"1 2 (3 4)", R::Ok, 3, "12(34)"}, ParseCase{"  3 1  2 ", R::Ok, 3, "312"},
        ParseCase{"( 1 2 ) 3", R::Ok, 2, "(12)3"}, ParseCase{"2", R::Ok, 1, "2"},
        ParseCase{"0", R::Ok, 1, "0"}, ParseCase{"9", R::Ok, 1, "9"},
        // Chords: nine entries is the most, '0' is a silent entry, "()" one silent beat.
        ParseCase{"(123456789)", R::Ok, 1, "(123456789)"}, ParseCase{"(10)", R::Ok, 1, "(10)"},
        ParseCase{"(01)", R::Ok, 1, "(01)"}, ParseCase{"()", R::Ok, 1, "()"},
        ParseCase{"1()2", R::Ok, 3, "1()2"}, ParseCase{"(11)(1)", R::Ok, 2, "(11)(1)"}));

INSTANTIATE_TEST_SUITE_P(
    Errors, ParseCustomMeasureTable,
    ::testing::Values(
        ParseCase{"", R::Empty, kOldLength, ""}, ParseCase{"   ", R::Empty, kOldLength, ""},
        // Ten or more digits in one chord; checked before the closing parenthesis.
        ParseCase{"(1234567890)", R::TooManyVoices, kOldLength, ""},
        ParseCase{"(1234567890", R::TooManyVoices, kOldLength, ""},
        ParseCase{"12(1234 567 890)", R::TooManyVoices, kOldLength, "12"},
        // No nesting, no missing ')'.
        ParseCase{"((12))", R::UnclosedChord, kOldLength, ""},
        ParseCase{"(12", R::UnclosedChord, kOldLength, ""},
        ParseCase{"(1(2))", R::UnclosedChord, kOldLength, ""},
        ParseCase{"(", R::UnclosedChord, kOldLength, ""},
        ParseCase{"1(", R::UnclosedChord, kOldLength, "1"},
        ParseCase{"(1a)", R::UnclosedChord, kOldLength, ""},
        // Stray ')' and characters that are not allowed; the beats before them are written.
        ParseCase{"12)", R::BadCharacter, kOldLength, "12"},
        ParseCase{")", R::BadCharacter, kOldLength, ""},
        ParseCase{"1a2", R::BadCharacter, kOldLength, "1"},
        ParseCase{"(12)3)", R::BadCharacter, kOldLength, "(12)3"},
        // Only the space character is removed: a tab is an error, like any other character.
        ParseCase{"1\t2", R::BadCharacter, kOldLength, "1"},
        // Neighbours of the digits in ASCII, a NUL inside the text, and UTF-8 (an 'é').
        ParseCase{"/", R::BadCharacter, kOldLength, ""},
        ParseCase{":", R::BadCharacter, kOldLength, ""},
        ParseCase{std::string("3\0"
                              "1",
                              3),
                  R::BadCharacter, kOldLength, "3"},
        ParseCase{"1\xC3\xA9", R::BadCharacter, kOldLength, "1"}));

// The voice indices themselves, not only their notation: digit d gives d - 1, '0' gives -1.
TEST(ParseCustomMeasure, ChordEntriesAreVoiceIndicesInWrittenOrder) {
  Measure measure;
  ASSERT_EQ(ParseCustomMeasure("(109)", measure), MeasureParseResult::Ok);
  const BeatSlot& chord = measure.Slot(0);
  EXPECT_FALSE(chord.plain);
  ASSERT_EQ(chord.chordCount, 3);
  EXPECT_EQ(chord.chordVoices[0], 0);
  EXPECT_EQ(chord.chordVoices[1], kSilentVoice);
  EXPECT_EQ(chord.chordVoices[2], 8);

  ASSERT_EQ(ParseCustomMeasure("0", measure), MeasureParseResult::Ok);
  EXPECT_TRUE(measure.Slot(0).plain);
  EXPECT_EQ(measure.Slot(0).voice, kSilentVoice);
}

// A chord slot parsed over with a plain beat must become plain again (and the other way).
TEST(ParseCustomMeasure, ReparsingReplacesChordAndPlainSlots) {
  Measure measure;
  ASSERT_EQ(ParseCustomMeasure("(12)3", measure), MeasureParseResult::Ok);
  ASSERT_EQ(ParseCustomMeasure("4(56)", measure), MeasureParseResult::Ok);
  EXPECT_EQ(DescribeSlots(measure, 0, 2), "4(56)");
  EXPECT_EQ(measure.BeatsPerMeasure(), 2);
}

// Capacity: 1000 beats fit, the 1001st is refused and never written anywhere.
TEST(ParseCustomMeasure, ThousandBeatsFitAndTheNextOneIsRefused) {
  Measure measure;
  FillWithNines(measure, kOldLength);

  // 999 ones and a chord as the 1000th beat: accepted, length 1000.
  std::string text(999, '1');
  ASSERT_EQ(ParseCustomMeasure(text + "(23)", measure), MeasureParseResult::Ok);
  EXPECT_EQ(measure.BeatsPerMeasure(), kMeasureCapacity);
  EXPECT_EQ(DescribeSlots(measure, 998, 2), "1(23)");

  // Trailing spaces after the 1000th beat add no beat.
  FillWithNines(measure, kOldLength);
  ASSERT_EQ(ParseCustomMeasure(text + "5   ", measure), MeasureParseResult::Ok);
  EXPECT_EQ(measure.BeatsPerMeasure(), kMeasureCapacity);

  // 999 ones, '5' as the 1000th beat, '7' as the 1001st: refused, the length stays, and the
  // last slot still holds the 1000th beat (a write of the 1001st would have landed nowhere
  // else but there).
  for (const std::string& extra : {std::string("7"), std::string("(7)"), std::string("()")}) {
    SCOPED_TRACE(extra);
    FillWithNines(measure, kOldLength);
    EXPECT_EQ(ParseCustomMeasure(text + "5" + extra, measure), MeasureParseResult::TooManyBeats);
    EXPECT_EQ(measure.BeatsPerMeasure(), kOldLength);
    EXPECT_EQ(DescribeSlots(measure, 998, 2), "15");
  }

  // A bad character is reported as such even past the capacity: the first error from the left.
  FillWithNines(measure, kOldLength);
  EXPECT_EQ(ParseCustomMeasure(text + "5a", measure), MeasureParseResult::BadCharacter);
}

TEST(MeasureParseMessage, ExactTextsPerResult) {
  const std::string parentheses =
      "Make sure you don't have any mismatched parentheses in your measure definition";
  struct Row {
    MeasureParseResult result;
    std::string text;
  };
  const std::vector<Row> rows = {
      {MeasureParseResult::Ok, ""},
      {MeasureParseResult::BadCharacter, parentheses},
      {MeasureParseResult::TooManyVoices,
       "You are only allowed to have up to 9 instruments on a given beat"},
      {MeasureParseResult::UnclosedChord, parentheses},
      {MeasureParseResult::Empty,
       "Please enter a custom measure definition with at least one beat"},
      {MeasureParseResult::TooManyBeats, "Please limit your custom measure to 1000 beats"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MeasureParseMessage(row.result), row.text) << static_cast<int>(row.result);
  }
  EXPECT_EQ(kMeasureErrorCaption, "Custom Measure Definition Error");
}

TEST(ClassifyMeasureChar, EveryClassAndTheBoundariesAroundThem) {
  struct Row {
    char c;
    MeasureCharClass kind;
  };
  // '/' and ':' sit just below '0' and just above '9' in ASCII.
  const std::vector<Row> rows = {
      {'0', MeasureCharClass::Digit},    {'5', MeasureCharClass::Digit},
      {'9', MeasureCharClass::Digit},    {'/', MeasureCharClass::Other},
      {':', MeasureCharClass::Other},    {'(', MeasureCharClass::Open},
      {')', MeasureCharClass::Close},    {' ', MeasureCharClass::Space},
      {'\t', MeasureCharClass::Other},   {'\0', MeasureCharClass::Other},
      {'a', MeasureCharClass::Other},    {'[', MeasureCharClass::Other},
      {'\xE9', MeasureCharClass::Other},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ClassifyMeasureChar(row.c), row.kind) << static_cast<int>(row.c);
  }
}

TEST(IsMeasureEditChar, TypedCharactersTheFieldKeeps) {
  for (int c : {int{'0'}, int{'9'}, int{'('}, int{')'}, int{' '}, 8})
    EXPECT_TRUE(IsMeasureEditChar(c)) << c;
  for (int c : {int{'a'}, int{'/'}, int{':'}, int{'\t'}, int{'\r'}, 0, 127, int{'-'}, 0xE9}) {
    EXPECT_FALSE(IsMeasureEditChar(c)) << c;
  }
}

}  // namespace
}  // namespace ticktavo
