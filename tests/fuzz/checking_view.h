#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "rhythm/measure.h"
#include "rhythm/percussion_table.h"
#include "rhythm/sequencer.h"
#include "store/settings_view.h"
#include "store/stored_settings.h"

namespace ticktavo::fuzz {

// The main dialog as the settings store sees it, keeping its controls' state the way the window
// does (the tempo field clamps to 4..1000) and stopping at the first value handed to it that a
// control could not show or the engine could not play.
class CheckingView final : public SettingsView {
 public:
  // The musical state, as the controls hold it.
  struct Shown {
    int bpm = 200;
    std::string beatsText = "4";
    int style = 0;
    std::array<int, kVoiceCount> instrument = PercussionTable::defaultInstrument;
    std::array<int, kVoiceCount> volume{};
    std::array<int, kVoiceCount> blinkSize{};
    std::string customText = "31212012121";
    bool blinking = true;
    PracticeSettings practice;
    bool operator==(const Shown&) const = default;
  };
  Shown shown;
  std::vector<std::string> presets;
  int selected = -1;
  std::string nameText;
  bool answerYes = true;
  int errorsShown = 0;
  std::vector<WindowRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
  WindowRect window{100, 100, 460, 700};

  void SetTempoText(std::string_view text) override {
    shown.bpm = std::clamp(WholeNumber(text, "tempo text"), 4, 1000);
  }
  void TempoEditKillFocus() override { OnSettingsChanged(); }
  void SetBeatsPerMeasureText(std::string_view text) override {
    const int beats = WholeNumber(text, "beats-per-measure text");
    FUZZ_REQUIRE(beats >= 0 && beats <= kMeasureCapacity, "beats per measure outside 0..1000");
    shown.beatsText = text;
  }
  void ShowInstrument(int voice, int instrument) override {
    const auto v = Voice(voice);
    FUZZ_REQUIRE(PercussionTable::IsInstrument(instrument), "an instrument outside 0..46");
    shown.instrument[v] = instrument;
  }
  void ShowVolume(int voice, int volume) override {
    const auto v = Voice(voice);
    FUZZ_REQUIRE(volume >= 0 && volume <= kMaxVolume, "a volume outside 0..127");
    shown.volume[v] = volume;
  }
  void ShowBlinkSize(int voice, int size) override {
    const auto v = Voice(voice);
    FUZZ_REQUIRE(size >= 0 && size <= kMaxBlinkFrame, "a blinker size outside 0..8");
    shown.blinkSize[v] = size;
  }
  void SetCustomMeasureText(std::string_view text) override {
    FUZZ_REQUIRE(text.size() < kCustomMeasureBufferSize, "a custom measure text over 1000 bytes");
    FUZZ_REQUIRE(text.find('\0') == std::string_view::npos, "a zero inside the custom text");
    shown.customText = text;
  }
  void ApplyStyle(MetronomeStyle style) override {
    const int value = static_cast<int>(style);
    FUZZ_REQUIRE(value >= 0 && value <= 2, "a style that is none of the three");
    shown.style = value;
    OnSettingsChanged();
  }
  void ShowBlinking(bool on) override { shown.blinking = on; }
  void ShowPractice(const PracticeSettings& practice) override {
    const PracticeSettings held = practice.Clamped();
    FUZZ_REQUIRE(
        practice.trainerStep == held.trainerStep && practice.trainerEvery == held.trainerEvery &&
            practice.trainerTarget == held.trainerTarget &&
            practice.mutePlayed == held.mutePlayed && practice.muteSilent == held.muteSilent,
        "a practice number outside its range");
    shown.practice = practice;
  }
  void CaptureLayout() override {}
  void MoveWindowTo(WindowRect rect, std::optional<int> /*rows*/) override {
    // Wholly on one screen; only a window wider than every screen may pass its right edge.
    bool onScreen = false;
    for (const WindowRect& s : screens) {
      onScreen =
          onScreen || (rect.left >= s.left && rect.top >= s.top && rect.bottom <= s.bottom &&
                       rect.top <= rect.bottom && (rect.right <= s.right || rect.left == s.left));
    }
    FUZZ_REQUIRE(onScreen, "a window placed partly or wholly off the screens");
    window = rect;
  }

  int Bpm() const override { return shown.bpm; }
  std::string BeatsPerMeasureText() const override { return shown.beatsText; }
  int Style() const override { return shown.style; }
  int Instrument(int voice) const override { return shown.instrument[Voice(voice)]; }
  int Volume(int voice) const override { return shown.volume[Voice(voice)]; }
  int BlinkSize(int voice) const override { return shown.blinkSize[Voice(voice)]; }
  std::string CustomMeasureText() const override { return shown.customText; }
  bool Blinking() const override { return shown.blinking; }
  PracticeSettings Practice() const override { return shown.practice; }
  WindowRect CurrentWindowRect() const override { return window; }
  std::optional<int> VisibleRows() const override { return std::nullopt; }
  std::vector<WindowRect> ScreenRects() const override { return screens; }

  int PresetCount() const override { return static_cast<int>(presets.size()); }
  std::string PresetText(int position) const override { return presets.at(Position(position)); }
  void InsertPreset(int position, std::string_view name) override {
    FUZZ_REQUIRE(position >= 0 && position <= PresetCount(), "a preset inserted off the list");
    FUZZ_REQUIRE(name.size() < kPresetNameBufferSize, "a preset name over 1000 bytes");
    presets.insert(presets.begin() + position, std::string(name));
    FUZZ_REQUIRE(std::is_sorted(presets.begin(), presets.end(),
                                [](const std::string& a, const std::string& b) {
                                  return PresetNameLess(a, b);
                                }),
                 "the preset list is out of order");
  }
  void RemovePreset(int position) override {
    presets.erase(presets.begin() + static_cast<std::ptrdiff_t>(Position(position)));
  }
  int SelectedPreset() const override { return selected; }
  void SelectPreset(int position) override {
    FUZZ_REQUIRE(position >= -1 && position < PresetCount(), "a selection off the list");
    selected = position;
    nameText = position >= 0 ? presets[static_cast<std::size_t>(position)] : "";
  }
  std::string PresetNameText() const override { return nameText; }

  void EnableSave(bool) override {}
  void EnableDelete(bool) override {}
  void MakeSaveDefault() override {}
  void OnSettingsChanged() override {
    selected = -1;
    nameText.clear();
  }
  bool AskYesNo(std::string_view, std::string_view) override { return answerYes; }
  void ShowError(std::string_view, std::string_view) override { ++errorsShown; }

 private:
  static std::size_t Voice(int voice) {
    FUZZ_REQUIRE(voice >= 0 && voice < kVoiceCount, "a voice outside 0..8");
    return static_cast<std::size_t>(voice);
  }
  std::size_t Position(int position) const {
    FUZZ_REQUIRE(position >= 0 && position < PresetCount(), "a list position off the list");
    return static_cast<std::size_t>(position);
  }
  // A field's text must be one whole number, as the loader writes numbers.
  static int WholeNumber(std::string_view text, const char* what) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    FUZZ_REQUIRE(error == std::errc() && end == text.data() + text.size(), what);
    return value;
  }
};

}  // namespace ticktavo::fuzz
