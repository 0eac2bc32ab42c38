#include "rhythm/measure_parser.h"

#include <string>

namespace ticktavo {

MeasureParseResult ParseCustomMeasure(std::string_view text, Measure& measure) {
  // Spaces carry no meaning anywhere, so they go first; every other character is judged by
  // the walk below (a tab is an error, not a space).
  std::string beats;
  beats.reserve(text.size());
  for (char c : text) {
    if (c != ' ') beats.push_back(c);
  }
  if (beats.empty()) return MeasureParseResult::Empty;

  int beat = 0;
  std::size_t pos = 0;
  while (pos < beats.size()) {
    const MeasureCharClass kind = ClassifyMeasureChar(beats[pos]);
    if (kind == MeasureCharClass::Close || kind == MeasureCharClass::Other) {
      return MeasureParseResult::BadCharacter;
    }
    if (kind == MeasureCharClass::Space) {  // cannot happen once the spaces are gone
      ++pos;
      continue;
    }
    // A digit or a chord starts one more beat; there is no slot for a beat past the capacity.
    if (beat >= kMeasureCapacity) return MeasureParseResult::TooManyBeats;

    if (kind == MeasureCharClass::Digit) {
      measure.Slot(beat).SetPlain(beats[pos] - '1');
      ++beat;
      ++pos;
      continue;
    }

    // '(' : a run of digits, then ')'.
    const std::size_t first = pos + 1;
    std::size_t end = first;
    while (end < beats.size() && ClassifyMeasureChar(beats[end]) == MeasureCharClass::Digit) {
      ++end;
    }
    if (end - first > static_cast<std::size_t>(kMaxChordVoices)) {
      return MeasureParseResult::TooManyVoices;
    }
    if (end >= beats.size() || beats[end] != ')') return MeasureParseResult::UnclosedChord;
    // The run is digits only and short enough, so this cannot fail.
    measure.Slot(beat).ParseChord(std::string_view(beats).substr(first, end - first));
    ++beat;
    pos = end + 1;
  }

  measure.SetBeatsPerMeasure(beat);
  return MeasureParseResult::Ok;
}

std::string MeasureParseMessage(MeasureParseResult result) {
  switch (result) {
    case MeasureParseResult::Ok:
      return {};
    case MeasureParseResult::BadCharacter:
    case MeasureParseResult::UnclosedChord:
      return "Make sure you don't have any mismatched parentheses in your measure definition";
    case MeasureParseResult::TooManyVoices:
      return "You are only allowed to have up to " + std::to_string(kMaxChordVoices) +
             " instruments on a given beat";
    case MeasureParseResult::Empty:
      return "Please enter a custom measure definition with at least one beat";
    case MeasureParseResult::TooManyBeats:
      return "Please limit your custom measure to " + std::to_string(kMeasureCapacity) + " beats";
  }
  return {};
}

}  // namespace ticktavo
