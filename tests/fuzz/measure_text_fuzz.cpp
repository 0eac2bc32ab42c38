// The custom measure text, any bytes: the parser's result code, beat count and slots agree with
// a plain model of the notation, a refused text leaves the length alone, and no slot past the
// last beat written (never past the 1000th) is touched.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rhythm/measure.h"
#include "rhythm/measure_parser.h"

namespace {

using ticktavo::BeatSlot;
using ticktavo::kMaxChordVoices;
using ticktavo::kMeasureCapacity;
using ticktavo::Measure;
using ticktavo::MeasureParseResult;

// One beat as the notation writes it: a digit, or the digits of a chord.
struct ModelBeat {
  bool chord = false;
  std::string digits;
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The notation read the simplest way: tokens left to right, the first error wins. `beats`
// receives every beat before the error.
MeasureParseResult Model(std::string_view text, std::vector<ModelBeat>* beats) {
  std::string s;
  for (char c : text) {
    if (c != ' ') s += c;
  }
  if (s.empty()) return MeasureParseResult::Empty;
  std::size_t i = 0;
  while (i < s.size()) {
    if (!IsDigit(s[i]) && s[i] != '(') return MeasureParseResult::BadCharacter;
    if (beats->size() == static_cast<std::size_t>(kMeasureCapacity)) {
      return MeasureParseResult::TooManyBeats;
    }
    if (IsDigit(s[i])) {
      beats->push_back({false, std::string(1, s[i])});
      ++i;
      continue;
    }
    std::size_t close = i + 1;
    while (close < s.size() && IsDigit(s[close])) ++close;
    std::string digits = s.substr(i + 1, close - i - 1);
    if (digits.size() > static_cast<std::size_t>(kMaxChordVoices)) {
      return MeasureParseResult::TooManyVoices;
    }
    if (close == s.size() || s[close] != ')') return MeasureParseResult::UnclosedChord;
    beats->push_back({true, digits});
    i = close + 1;
  }
  return MeasureParseResult::Ok;
}

// What no parse can write: a plain beat of a voice that does not exist.
constexpr int kUntouched = 1234;

bool SlotMatches(const BeatSlot& slot, const ModelBeat& beat) {
  if (!beat.chord) return slot.plain && slot.voice == beat.digits[0] - '1';
  if (slot.plain || slot.chordCount != static_cast<int>(beat.digits.size())) return false;
  for (std::size_t k = 0; k < beat.digits.size(); ++k) {
    if (slot.chordVoices[k] != beat.digits[k] - '1') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  static Measure measure;
  for (int i = 0; i < kMeasureCapacity; ++i) measure.Slot(i).SetPlain(kUntouched);
  constexpr int kLengthBefore = 7;
  measure.SetBeatsPerMeasure(kLengthBefore);

  std::vector<ModelBeat> expected;
  const MeasureParseResult want = Model(text, &expected);
  const MeasureParseResult got = ticktavo::ParseCustomMeasure(text, measure);

  FUZZ_REQUIRE(got == want, "the result code differs from the notation's");
  FUZZ_REQUIRE(expected.size() <= static_cast<std::size_t>(kMeasureCapacity),
               "the model wrote past the capacity");
  if (got == MeasureParseResult::Ok) {
    FUZZ_REQUIRE(measure.BeatsPerMeasure() == static_cast<int>(expected.size()),
                 "the beat count differs from the text's");
    FUZZ_REQUIRE(measure.BeatsPerMeasure() >= 1, "a parsed measure has no beat");
    FUZZ_REQUIRE(ticktavo::MeasureParseMessage(got).empty(), "a message for a parsed text");
  } else {
    FUZZ_REQUIRE(measure.BeatsPerMeasure() == kLengthBefore, "a refused text changed the length");
    FUZZ_REQUIRE(!ticktavo::MeasureParseMessage(got).empty(), "a refusal without a message");
  }
  for (int i = 0; i < kMeasureCapacity; ++i) {
    const BeatSlot& slot = measure.Slot(i);
    if (static_cast<std::size_t>(i) < expected.size()) {
      FUZZ_REQUIRE(SlotMatches(slot, expected[static_cast<std::size_t>(i)]),
                   "a slot differs from its beat in the text");
    } else {
      FUZZ_REQUIRE(slot.plain && slot.voice == kUntouched, "a slot past the last beat was written");
    }
  }

  const int typedLength = ticktavo::ReadBeatsPerMeasure(text);
  FUZZ_REQUIRE(typedLength >= 0 && typedLength <= kMeasureCapacity,
               "a beats-per-measure text read outside 0..1000");
  return 0;
}
