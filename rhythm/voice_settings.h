#pragma once

#include <array>

#include "rhythm/percussion_table.h"

namespace ticktavo {

inline constexpr int kMaxVolume = 127;
inline constexpr int kMaxBlinkFrame = 8;

// What each voice sounds like. Read whenever a beat is queued, so a change is heard from the
// beat after the two already queued. Defaults are those of a first start.
struct VoiceSettings {
  // Instrument index 0..46 per voice.
  std::array<int, kVoiceCount> m_instrument = PercussionTable::defaultInstrument;
  // Note-on velocity 0..127 per voice.
  std::array<int, kVoiceCount> m_volume = {127, 127, 127, 127, 127, 127, 127, 127, 127};
  // Main blinker frame 0..8 per voice.
  std::array<int, kVoiceCount> m_blinkSize = {8, 8, 8, 8, 8, 8, 8, 8, 8};
};

}  // namespace ticktavo
