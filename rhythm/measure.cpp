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

int AtoiPrefix(std::string_view text) {
  std::size_t i = 0;
  // White space as isspace has it in the C locale.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int ReadBeatsPerMeasure(std::string_view text) {
  return std::clamp(AtoiPrefix(text), 0, kMeasureCapacity);
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
