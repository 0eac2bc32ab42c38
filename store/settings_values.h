#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ticktavo {

// Where the settings live, below the user's root. Each preset is a subkey of it, named by
// the preset's name exactly as typed, so a name with '\' names a deeper key.
inline constexpr std::string_view SettingsKey = "Software\\Quelbrand\\Ticktavo";

// Value names. They, their types and their byte counts are the file format: tools and
// earlier versions read them, so they never change.
inline constexpr std::string_view kBpMinuteValue = "BPMinute";               // DWORD
inline constexpr std::string_view kBpMeasureValue = "BPMeasure";             // DWORD
inline constexpr std::string_view kMetronomeStyleValue = "Metronome Style";  // DWORD
inline constexpr std::string_view kCustomMeasureValue = "Custom Measure";    // SZ, text + NUL
inline constexpr std::string_view kBlinkingValue = "Blinking";               // DWORD type, ONE byte
// The practice tools (DWORDs; the two switches 0 or 1).
inline constexpr std::string_view kTrainerValue = "Trainer";
inline constexpr std::string_view kTrainerStepValue = "Trainer Step";
inline constexpr std::string_view kTrainerEveryValue = "Trainer Every";
inline constexpr std::string_view kTrainerTargetValue = "Trainer Target";
inline constexpr std::string_view kMuteValue = "Mute";
inline constexpr std::string_view kMutePlayedValue = "Mute Played";
inline constexpr std::string_view kMuteSilentValue = "Mute Silent";
// Main key only.
inline constexpr std::string_view kPresetValue = "Preset";  // DWORD, -1 for no selection
inline constexpr std::string_view kWindowTopValue = "WindowTop";
inline constexpr std::string_view kWindowBottomValue = "WindowBottom";
inline constexpr std::string_view kWindowLeftValue = "WindowLeft";
inline constexpr std::string_view kWindowRightValue = "WindowRight";
// DWORD: the voice rows the window showed (9 at its full height; 0 the headings only, -1 the
// Custom help only, -2 nothing), so a changed font or scale reopens it with the same rows.
inline constexpr std::string_view kWindowRowsValue = "WindowRows";
// Per voice: the 'x' becomes the voice index digit '0' + n, so voice 1 is "Sound 0".
inline constexpr std::string_view kSoundValueTemplate = "Sound x";
inline constexpr std::string_view kVolumeValueTemplate = "Volume x";
inline constexpr std::string_view kBlinkerValueTemplate = "Blinker x";

// "Sound x" with voice index 3 gives "Sound 3".
std::string VoiceValueName(std::string_view nameTemplate, int voice);

// Defaults for values that are missing.
inline constexpr int kDefaultBpm = 200;
inline constexpr int kDefaultBeatsPerMeasure = 4;
inline constexpr int kDefaultVolume = 127;
inline constexpr int kDefaultBlinkSize = 8;
inline constexpr std::string_view kDefaultCustomMeasure = "31212012121";
inline constexpr bool kDefaultBlinking = true;
inline constexpr int kDefaultPresetPosition = 0;

// The loader holds stored volumes and blink sizes to the sequencer's ranges (kMaxVolume,
// kMaxBlinkFrame in rhythm/sequencer.h), so nothing read from the file can index past a
// table or reach the engine out of range.

// Read buffers: the longest custom measure text that can be read back is 1000 characters
// (a longer one keeps the default); preset names are listed through a buffer of the same
// size; the beats field is read as at most 8 characters.
inline constexpr std::size_t kCustomMeasureBufferSize = 1001;
inline constexpr std::size_t kPresetNameBufferSize = 1001;
inline constexpr std::size_t kBeatsFieldCharacters = 8;

// The preset commands' message boxes.
inline constexpr std::string_view kPresetExistsCaption = "Preset Already Exists";
// The name goes where "%s" stands.
inline constexpr std::string_view kPresetExistsText =
    "You are about to save over the current preset \"%s\".  Continue?";
inline constexpr std::string_view kRegistryErrorCaption = "Error Opening Registry Key";
inline constexpr std::string_view kRegistryErrorText =
    "Threre was an error opening the registry key.  Please limit preset names to letters and "
    "numbers.";

}  // namespace ticktavo
