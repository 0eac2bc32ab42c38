#include "rhythm/measure.h"

#include <algorithm>
#include <climits>

namespace ticktavo {

bool BeatSlot::ParseChord(std::string_view digits) {
  if (digits.size() > static_cast<std::size_t>(kMaxChordVoices)) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  int count = 0;
  for (char c : digits) chordVoices[static_cast<std::size_t>(count++)] = c - '1';
  plain = false;
  chordCount = count;
  return true;
}

void Measure::SetBeatsPerMeasure(int beats) {
  m_beatsPerMeasure = std::clamp(beats, 0, kMeasureCapacity);
}

int ReadBeatsPerMeasure(std::string_view text) {
  std::size_t pos = 0;
  // atoi skips the same white space as isspace in the C locale.
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Saturate instead of overflowing: anything past the capacity is the capacity anyway.
  long long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = std::min<long long>(value * 10 + (text[pos] - '0'), INT_MAX);
  }
  if (negative) return 0;
  return static_cast<int>(std::min<long long>(value, kMeasureCapacity));
}

void SetStraightStyle(Measure& measure) {
  for (int i = 0; i < measure.BeatsPerMeasure(); ++i) measure.Slot(i).SetPlain(0);
}

void SetSimpleMeasure(Measure& measure, int beatsPerMeasure) {
  measure.SetBeatsPerMeasure(beatsPerMeasure);
  measure.Slot(0).SetPlain(1);
  for (int i = 1; i < measure.BeatsPerMeasure(); ++i) measure.Slot(i).SetPlain(0);
}

}  // namespace ticktavo
