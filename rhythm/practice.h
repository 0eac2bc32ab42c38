#pragma once

#include <algorithm>

namespace ticktavo {

// The practice tools that act on what is played: the speed trainer and muted measures. Counting
// starts at Play; a measure is one pass through the measure being played (in Straight style,
// the beats field's number of beats).
struct PracticeSettings {
  // Speed trainer: every `trainerEvery` measures the tempo moves `trainerStep` BPM towards
  // `trainerTarget` (up or down), never past it; the change comes with the first beat of a
  // measure.
  bool trainer = false;
  int trainerStep = 5;      // 1..100
  int trainerEvery = 4;     // 1..64
  int trainerTarget = 200;  // 4..1000
  // Muted measures: `mutePlayed` measures sound, then `muteSilent` keep time in silence, and
  // again.
  bool mute = false;
  int mutePlayed = 3;  // 1..64
  int muteSilent = 1;  // 1..64

  bool operator==(const PracticeSettings&) const = default;

  // Every number held to its range.
  PracticeSettings Clamped() const {
    PracticeSettings c = *this;
    c.trainerStep = std::clamp(trainerStep, 1, 100);
    c.trainerEvery = std::clamp(trainerEvery, 1, 64);
    c.trainerTarget = std::clamp(trainerTarget, 4, 1000);
    c.mutePlayed = std::clamp(mutePlayed, 1, 64);
    c.muteSilent = std::clamp(muteSilent, 1, 64);
    return c;
  }
};

}  // namespace ticktavo
