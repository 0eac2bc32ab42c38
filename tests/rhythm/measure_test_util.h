#pragma once

#include <string>

#include "rhythm/measure.h"

namespace ticktavo::testing {

// Writes slots first..first+count-1 back in the measure text notation ("3", "0", "(10)"),
// so an expectation reads like the text that should have produced it.
inline std::string DescribeSlots(const Measure& measure, int first, int count) {
  std::string out;
  for (int i = first; i < first + count; ++i) {
    const BeatSlot& slot = measure.Slot(i);
    if (slot.plain) {
      out += static_cast<char>('1' + slot.voice);
    } else {
      out += '(';
      for (int k = 0; k < slot.chordCount; ++k) {
        out += static_cast<char>('1' + slot.chordVoices[static_cast<std::size_t>(k)]);
      }
      out += ')';
    }
  }
  return out;
}

// Fills the whole measure with plain voice 9 and sets a length, so that tests can tell
// which slots and which length an operation touched.
inline void FillWithNines(Measure& measure, int length) {
  for (int i = 0; i < kMeasureCapacity; ++i) measure.Slot(i).SetPlain(8);
  measure.SetBeatsPerMeasure(length);
}

}  // namespace ticktavo::testing
