#pragma once

#include <string>
#include <string_view>

#include "rhythm/measure.h"

namespace ticktavo {

// The custom measure text, one character per beat:
//
//   text  := beat*            (every ' ' is removed first, wherever it stands)
//   beat  := digit            '0' silence, '1'..'9' voices 1..9
//          | '(' digit* ')'   a chord of up to nine entries sounded together, in the order
//                             written; '0' inside is a silent entry; "()" is one silent beat
//
// No nesting, no ')' outside a chord, no other characters (tabs included). At most
// kMeasureCapacity beats.

enum class MeasureCharClass : int { Other = 0, Digit = 1, Open = 2, Close = 3, Space = 4 };

constexpr MeasureCharClass ClassifyMeasureChar(char c) {
  if (c >= '0' && c <= '9') return MeasureCharClass::Digit;
  if (c == '(') return MeasureCharClass::Open;
  if (c == ')') return MeasureCharClass::Close;
  if (c == ' ') return MeasureCharClass::Space;
  return MeasureCharClass::Other;
}

// The characters the custom measure field lets the user type: digits, parentheses, space
// and backspace (8). Everything else typed is dropped. Pasted or loaded text is not filtered;
// the parser refuses what it cannot read.
constexpr bool IsMeasureEditChar(int c) {
  return (c >= '0' && c <= '9') || c == '(' || c == ')' || c == ' ' || c == 8;
}

// The parser's result. The values are fixed; 0 is success.
enum class MeasureParseResult : int {
  Ok = 0,
  BadCharacter = 1,   // a ')' outside a chord, or a character that is not allowed
  TooManyVoices = 2,  // more than nine digits in one chord
  UnclosedChord = 3,  // a '(' whose digits are not followed by ')'
  Empty = 4,          // nothing but spaces
  TooManyBeats = 5,   // more than kMeasureCapacity beats
};

// Caption of the message box that refuses a custom measure.
inline constexpr std::string_view kMeasureErrorCaption = "Custom Measure Definition Error";

// Rewrites the measure from the custom text. On success sets the length to the number of
// beats and returns Ok. On failure returns the first error met from the left: the slots
// written before it keep their new contents (they are never played, since the start is
// refused), the length is unchanged, and no slot beyond the kMeasureCapacity-th is written.
MeasureParseResult ParseCustomMeasure(std::string_view text, Measure& measure);

// The text shown for a refused parse, in a box captioned kMeasureErrorCaption; empty for Ok.
std::string MeasureParseMessage(MeasureParseResult result);

}  // namespace ticktavo
