#include <gtest/gtest.h>

#include <string_view>

#include "rhythm/percussion_table.h"

namespace ticktavo {
namespace {

using T = PercussionTable;

// Rows checked against the General MIDI percussion key map (note → sound), independently
// of the display order: each name must sit at the list position whose instrument gives that
// note.
TEST(PercussionTable, ListRowsSoundTheirGeneralMidiNote) {
  struct Row {
    int position;
    std::string_view name;
    int note;  // General MIDI key of that sound
  };
  const Row rows[] = {
      {0, "High Agogo", 67},      {2, "Acoustic Bass Drum", 35}, {7, "hand clap", 39},
      {12, "Bass Drum 1", 36},    {24, "Closed Hi-hat", 42},     {28, "Side Stick", 37},
      {29, "Acoustic Snare", 38}, {17, "Crash Cymbal 1", 49},    {9, "Cowbell", 56},
      {37, "Low-Mid tom", 47},    {38, "Hi Mid Tom", 48},        {41, "Open Triangle", 81},
      {46, "Low Wood Block", 77}, {45, "Hi Wood Block", 76},     {10, "Mute Cuica", 78},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto pos = static_cast<std::size_t>(row.position);
    EXPECT_EQ(T::instrumentNames[pos], row.name);
    EXPECT_EQ(T::NoteForInstrument(T::comboToInstrument[pos]), row.note);
  }
}

TEST(PercussionTable, MapsRoundTripBothWays) {
  for (int position = 0; position < kInstrumentCount; ++position) {
    const int instrument = T::comboToInstrument[static_cast<std::size_t>(position)];
    ASSERT_TRUE(T::IsInstrument(instrument));
    EXPECT_EQ(T::instrumentToCombo[static_cast<std::size_t>(instrument)], position);
  }
  for (int instrument = 0; instrument < kInstrumentCount; ++instrument) {
    const int position = T::instrumentToCombo[static_cast<std::size_t>(instrument)];
    ASSERT_TRUE(T::IsListPosition(position));
    EXPECT_EQ(T::comboToInstrument[static_cast<std::size_t>(position)], instrument);
  }
}

TEST(PercussionTable, DefaultVoicesAndTheirListRows) {
  // Voice 1 side stick (37), voice 2 bass drum 1 (36), voice 3 low wood block (77, the last
  // row), voices 4..9 acoustic bass drum (35, row 2).
  const int notes[kVoiceCount] = {37, 36, 77, 35, 35, 35, 35, 35, 35};
  const int rows[kVoiceCount] = {28, 12, 46, 2, 2, 2, 2, 2, 2};
  for (std::size_t v = 0; v < kVoiceCount; ++v) {
    const int instrument = T::defaultInstrument[v];
    EXPECT_EQ(T::NoteForInstrument(instrument), notes[v]) << v;
    EXPECT_EQ(T::instrumentToCombo[static_cast<std::size_t>(instrument)], rows[v]) << v;
  }
}

}  // namespace
}  // namespace ticktavo
