#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ticktavo {

// The nine voices of the metronome: voice n (1..9) has voice index n - 1.
inline constexpr int kVoiceCount = 9;
// The General MIDI percussion key map, notes 35..81.
inline constexpr int kInstrumentCount = 47;
inline constexpr int kFirstPercussionNote = 35;
// Names are kept to what a fixed 47-character field with its terminator can hold.
inline constexpr std::size_t kMaxInstrumentNameLength = 46;

// The vocabulary of percussion sounds. Three numbers describe one sound and are kept apart:
// - instrument index 0..46: what a voice stores, what the settings keep, in MIDI note order;
// - MIDI note = instrument index + 35;
// - list position 0..46: the row in every voice's instrument list, in the display order of
//   instrumentNames (neither alphabetical nor note order; users know the lists by heart).
// Constant data; nothing changes, sorts or loads it.
struct PercussionTable {
  // By list position: the names exactly as the lists show them, capitals included.
  static constexpr std::array<std::string_view, kInstrumentCount> instrumentNames = {
      "High Agogo",     "Low Agogo",      "Acoustic Bass Drum",
      "Ride Bell",      "Hi Bongo",       "Low Bongo",
      "Cabasa",         "hand clap",      "Claves",
      "Cowbell",        "Mute Cuica",     "Open Cuica",
      "Bass Drum 1",    "Mute Hi Conga",  "Open Hi Conga",
      "Low Conga",      "Chinese Cymbal", "Crash Cymbal 1",
      "Crash Cymbal 2", "Ride Cymbal 1",  "Ride Cymbal 2",
      "Splash Cymbal",  "Short Guiro",    "Long Guiro",
      "Closed Hi-hat",  "Open Hi-hat",    "Pedal Hi-hat",
      "Maracas",        "Side Stick",     "Acoustic Snare",
      "Electric Snare", "Tambourine",     "High Timbale",
      "Low Timbale",    "Low Floor Tom",  "High Floor Tom",
      "Low Tom",        "Low-Mid tom",    "Hi Mid Tom",
      "High Tom",       "Mute Triangle",  "Open Triangle",
      "Vibraslap",      "Short Whistle",  "Long Whistle",
      "Hi Wood Block",  "Low Wood Block",
  };

  // By list position: the instrument index shown in that row.
  static constexpr std::array<int, kInstrumentCount> comboToInstrument = {
      32, 33, 0, 18, 25, 26, 34, 4,  40, 21, 43, 44, 1,  27, 28, 29, 17, 14, 22, 16, 24, 20, 38, 39,
      7,  11, 9, 35, 2,  3,  5,  19, 30, 31, 6,  8,  10, 12, 13, 15, 45, 46, 23, 36, 37, 41, 42,
  };

  // By instrument index: the row that shows it. The exact inverse of comboToInstrument.
  static constexpr std::array<int, kInstrumentCount> instrumentToCombo = {
      2,  12, 28, 29, 7,  30, 34, 24, 35, 26, 36, 25, 37, 38, 17, 39,
      19, 16, 3,  31, 21, 9,  18, 42, 20, 4,  5,  13, 14, 15, 32, 33,
      0,  1,  6,  27, 43, 44, 22, 23, 8,  45, 46, 10, 11, 40, 41,
  };

  // By voice index: the instrument a voice has when nothing is stored. Voice 1 side stick,
  // voice 2 bass drum 1, voice 3 low wood block, voices 4..9 acoustic bass drum.
  static constexpr std::array<int, kVoiceCount> defaultInstrument = {2, 1, 42, 0, 0, 0, 0, 0, 0};

  static constexpr bool IsInstrument(int instrument) {
    return instrument >= 0 && instrument < kInstrumentCount;
  }
  static constexpr bool IsListPosition(int position) {
    return position >= 0 && position < kInstrumentCount;
  }
  // The note-on key for an instrument index (0..46 gives 35..81).
  static constexpr int NoteForInstrument(int instrument) {
    return instrument + kFirstPercussionNote;
  }
};

namespace percussion_detail {

constexpr bool IsPermutation(const std::array<int, kInstrumentCount>& map) {
  std::array<bool, kInstrumentCount> seen{};
  for (int value : map) {
    if (value < 0 || value >= kInstrumentCount || seen[static_cast<std::size_t>(value)]) {
      return false;
    }
    seen[static_cast<std::size_t>(value)] = true;
  }
  return true;
}

constexpr bool AreInverse(const std::array<int, kInstrumentCount>& forward,
                          const std::array<int, kInstrumentCount>& backward) {
  for (std::size_t i = 0; i < forward.size(); ++i) {
    if (backward[static_cast<std::size_t>(forward[i])] != static_cast<int>(i)) return false;
  }
  return true;
}

constexpr bool NamesFit() {
  for (std::string_view name : PercussionTable::instrumentNames) {
    if (name.empty() || name.size() > kMaxInstrumentNameLength) return false;
  }
  return true;
}

constexpr bool NamesAreDistinct() {
  const auto& names = PercussionTable::instrumentNames;
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t k = i + 1; k < names.size(); ++k) {
      if (names[i] == names[k]) return false;
    }
  }
  return true;
}

constexpr bool DefaultsAreInstruments() {
  for (int instrument : PercussionTable::defaultInstrument) {
    if (!PercussionTable::IsInstrument(instrument)) return false;
  }
  return true;
}

}  // namespace percussion_detail

static_assert(percussion_detail::IsPermutation(PercussionTable::comboToInstrument));
static_assert(percussion_detail::IsPermutation(PercussionTable::instrumentToCombo));
static_assert(percussion_detail::AreInverse(PercussionTable::comboToInstrument,
                                            PercussionTable::instrumentToCombo));
static_assert(percussion_detail::AreInverse(PercussionTable::instrumentToCombo,
                                            PercussionTable::comboToInstrument));
static_assert(percussion_detail::NamesFit());
static_assert(percussion_detail::NamesAreDistinct());
static_assert(percussion_detail::DefaultsAreInstruments());
static_assert(PercussionTable::NoteForInstrument(0) == 35 &&
              PercussionTable::NoteForInstrument(kInstrumentCount - 1) == 81);

}  // namespace ticktavo
