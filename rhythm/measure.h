#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace ticktavo {

// The measure holds at most this many beats; nothing ever writes a slot beyond it.
inline constexpr int kMeasureCapacity = 1000;
// The most voices one beat may sound together. Equals the note capacity of one queued beat.
inline constexpr int kMaxChordVoices = 9;
// Voice index of a silent beat or a silent chord entry ('0' in the measure text).
inline constexpr int kSilentVoice = -1;

// Stored as "Metronome Style"; the values are part of the stored settings.
enum class MetronomeStyle : int { Straight = 0, SimpleMeasure = 1, Custom = 2 };

// One beat of the measure: silence, one voice, or a chord of up to nine voices sounded
// together. Voice indices are 0..8 for voices 1..9 and kSilentVoice for silence.
struct BeatSlot {
  // True for a single voice or silence, false for a chord.
  bool plain = true;
  // The voice of a plain beat.
  int voice = kSilentVoice;
  // The chord's entries in the order written; a '0' in the chord is a silent entry.
  int chordCount = 0;
  std::array<int, kMaxChordVoices> chordVoices{};

  // Makes this slot a chord from the text between a chord's parentheses. The text must be
  // made of digits only, at most kMaxChordVoices of them; otherwise returns false and the
  // slot is unchanged. An empty text gives a chord of no voices (the sequencer plays it as
  // one silent entry).
  bool ParseChord(std::string_view digits);

  // Makes this slot a plain beat of one voice.
  void SetPlain(int voiceIndex) {
    plain = true;
    voice = voiceIndex;
  }
};

// The repeating pattern the sequencer plays: a fixed array of kMeasureCapacity slots and the
// length in use. Only slots 0..BeatsPerMeasure()-1 are played; slots beyond the length keep
// whatever they last held. The length is always within 0..kMeasureCapacity, so no negative
// or oversized length can reach the sequencer. A length of 0 plays slot 0 on every beat.
class Measure {
 public:
  // Slot i, for i in 0..kMeasureCapacity-1. Indices outside are clamped into the array so
  // a caller's bad index can never read or write outside it.
  BeatSlot& Slot(int i) { return m_slots[Index(i)]; }
  const BeatSlot& Slot(int i) const { return m_slots[Index(i)]; }

  int BeatsPerMeasure() const { return m_beatsPerMeasure; }
  // Clamps into 0..kMeasureCapacity.
  void SetBeatsPerMeasure(int beats);

 private:
  static std::size_t Index(int i) {
    return static_cast<std::size_t>(i < 0 ? 0 : (i >= kMeasureCapacity ? kMeasureCapacity - 1 : i));
  }

  std::array<BeatSlot, kMeasureCapacity> m_slots{};
  int m_beatsPerMeasure = 0;
};

// A number typed into a field, read like C's atoi: leading white space, an optional sign, then
// digits; 0 when there are none. Saturates instead of overflowing.
int AtoiPrefix(std::string_view text);

// Reads the beats-per-measure field's text the way atoi does (AtoiPrefix) and clamps it into
// 0..kMeasureCapacity: a typed or stored length above 1000 is used as 1000, a negative one
// as 0.
int ReadBeatsPerMeasure(std::string_view text);

// Straight style: slots 0..length-1 each become plain voice 1. The length is unchanged, so
// after an 11-beat custom measure Straight plays 11-beat measures of voice 1.
void SetStraightStyle(Measure& measure);

// Simple measure of the given length (clamped into 0..kMeasureCapacity): slot 0 becomes
// plain voice 2 even when the length is below 1, slots 1..length-1 plain voice 1.
void SetSimpleMeasure(Measure& measure, int beatsPerMeasure);

}  // namespace ticktavo
