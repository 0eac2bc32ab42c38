#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rhythm/measure.h"
#include "rhythm/percussion_table.h"
#include "rhythm/practice.h"
#include "store/registry.h"
#include "store/settings_values.h"

namespace ticktavo {

// A window rectangle in screen pixels, frame included; right and bottom are exclusive.
struct WindowRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const WindowRect&) const = default;
};

// The musical settings, as the main key and every preset keep them. A default-constructed
// value holds the first-start defaults.
struct Settings {
  int bpm = kDefaultBpm;
  // The number in the beats-per-measure field ("BPMeasure"): in the Custom style the
  // measure's own length comes from its text, and the field keeps the Simple Measure length.
  int beatsPerMeasure = kDefaultBeatsPerMeasure;
  // As stored: 0 Straight, 1 Simple Measure, anything else Custom (see StyleToApply).
  int style = static_cast<int>(MetronomeStyle::Straight);
  std::array<int, kVoiceCount> instrument = PercussionTable::defaultInstrument;
  std::array<int, kVoiceCount> volume = {kDefaultVolume, kDefaultVolume, kDefaultVolume,
                                         kDefaultVolume, kDefaultVolume, kDefaultVolume,
                                         kDefaultVolume, kDefaultVolume, kDefaultVolume};
  std::array<int, kVoiceCount> blinkSize = {
      kDefaultBlinkSize, kDefaultBlinkSize, kDefaultBlinkSize, kDefaultBlinkSize, kDefaultBlinkSize,
      kDefaultBlinkSize, kDefaultBlinkSize, kDefaultBlinkSize, kDefaultBlinkSize};
  std::string customMeasure = std::string(kDefaultCustomMeasure);
  bool blinking = kDefaultBlinking;
  // Off, with their default numbers, wherever they are not stored (settings and presets of
  // earlier versions).
  PracticeSettings practice;

  bool operator==(const Settings&) const = default;
};

// The key of the main settings (no name) or of the named preset below it. The name is
// used as typed.
std::string PresetKeyPath(std::optional<std::string_view> presetName);

// Reads a DWORD value the way the registry fills a 4-byte int: `fallback` stays when the
// value is missing or longer than 4 bytes; otherwise the stored bytes replace the low-order
// bytes of it (little-endian), so a one-byte value replaces only the lowest byte.
int ReadDword(Registry& registry, Registry::Key key, std::string_view name, int fallback);
// Writes 4 little-endian bytes with the DWORD type.
RegResult WriteDword(Registry& registry, Registry::Key key, std::string_view name, int value);

// Reads the musical values of an open key over `defaults`: each value that is missing or
// cannot be read (larger than its buffer: a custom text over 1000 characters, a "Blinking"
// of more than one byte) keeps its default. Values read are then held to what the program
// can use: an instrument outside 0..46 becomes the voice's default instrument, volumes are
// held to 0..127, blinker sizes to 0..8, the beats per measure to 0..1000, the practice
// tools' numbers to their ranges (PracticeSettings::Clamped). The tempo is left as stored:
// the tempo field clamps it exactly as it clamps typed text.
Settings ReadSettings(Registry& registry, Registry::Key key, const Settings& defaults);

// Writes every musical value, in the stored order: "BPMinute", "BPMeasure",
// "Metronome Style", then per voice "Sound n", "Volume n", "Blinker n", then
// "Custom Measure" (text with its terminating zero), "Blinking" (one byte), then the practice
// tools: "Trainer", "Trainer Step", "Trainer Every", "Trainer Target", "Mute", "Mute Played",
// "Mute Silent". Every write
// is attempted; the result is the first failure, or kSuccess.
RegResult WriteSettings(Registry& registry, Registry::Key key, const Settings& settings);

// The window rectangle values over `current`, read in the order "WindowTop",
// "WindowBottom", "WindowLeft", "WindowRight".
WindowRect ReadWindowRect(Registry& registry, Registry::Key key, WindowRect current);
// Whether any of the four window rectangle values is stored.
bool WindowRectStored(Registry& registry, Registry::Key key);
// Written in the same order; the first failure, or kSuccess.
RegResult WriteWindowRect(Registry& registry, Registry::Key key, WindowRect rect);
// "WindowRows", or nothing when it is not stored (a file from before it was kept).
std::optional<int> ReadWindowRows(Registry& registry, Registry::Key key);

// The whole window, title bar included, on one screen: the screen it overlaps most (the
// primary one, screens[0], when it overlaps none, or ties), reached by the shortest move.
// A window taller than that screen is made as tall as the screen (it folds up); one wider
// than it keeps its width with its left edge on the screen's. A window wholly on a screen
// stays as it is; with no screens known every window does.
WindowRect KeepOnScreen(WindowRect window, std::span<const WindowRect> screens);

// The style the dialog applies for a stored "Metronome Style": 0 Straight, 1 Simple
// Measure, any other number Custom.
MetronomeStyle StyleToApply(int storedStyle);

// The order of the sorted preset list: names compare ignoring ASCII case, like the keys.
bool PresetNameLess(std::string_view a, std::string_view b);
bool PresetNameEquals(std::string_view a, std::string_view b);

}  // namespace ticktavo
