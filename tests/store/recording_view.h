#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "store/settings_view.h"
#include "store/stored_settings.h"

namespace ticktavo::test {

// Stands in for the main dialog: keeps the state the controls would hold and logs every
// call that changes something, in order, as text ("ShowVolume 3 127").
class RecordingView final : public SettingsView {
 public:
  // State, as the dialog's members and controls hold it.
  int bpm = 200;
  std::string beatsText = "4";
  int style = 0;
  std::array<int, 9> instrument = {2, 1, 42, 0, 0, 0, 0, 0, 0};
  std::array<int, 9> volume = {127, 127, 127, 127, 127, 127, 127, 127, 127};
  std::array<int, 9> blinkSize = {8, 8, 8, 8, 8, 8, 8, 8, 8};
  std::string customText = "31212012121";
  bool blinking = true;
  PracticeSettings practice;
  WindowRect window{10, 20, 310, 520};
  std::optional<int> rows;  // the rows VisibleRows answers
  std::vector<WindowRect> screens = {{0, 0, 1920, 1080}};
  std::vector<std::string> presets;
  int selected = -1;
  std::string nameText;
  bool saveEnabled = true;
  bool deleteEnabled = true;
  // What the next question box answers.
  bool answerYes = true;

  std::vector<std::string> calls;

  void SetTempoText(std::string_view text) override {
    Log("SetTempoText " + std::string(text));
    bpm = AtoiPrefix(text);
  }
  void TempoEditKillFocus() override {
    Log("TempoEditKillFocus");
    OnSettingsChanged();
  }
  void SetBeatsPerMeasureText(std::string_view text) override {
    Log("SetBeatsPerMeasureText " + std::string(text));
    beatsText = text;
  }
  void ShowInstrument(int voice, int value) override {
    Log("ShowInstrument " + std::to_string(voice) + " " + std::to_string(value));
    instrument[static_cast<std::size_t>(voice)] = value;
  }
  void ShowVolume(int voice, int value) override {
    Log("ShowVolume " + std::to_string(voice) + " " + std::to_string(value));
    volume[static_cast<std::size_t>(voice)] = value;
  }
  void ShowBlinkSize(int voice, int value) override {
    Log("ShowBlinkSize " + std::to_string(voice) + " " + std::to_string(value));
    blinkSize[static_cast<std::size_t>(voice)] = value;
  }
  void SetCustomMeasureText(std::string_view text) override {
    Log("SetCustomMeasureText " + std::string(text));
    customText = text;
  }
  void ApplyStyle(MetronomeStyle value) override {
    Log("ApplyStyle " + std::to_string(static_cast<int>(value)));
    style = static_cast<int>(value);
    OnSettingsChanged();
  }
  void ShowBlinking(bool on) override {
    Log(std::string("ShowBlinking ") + (on ? "1" : "0"));
    blinking = on;
  }
  void ShowPractice(const PracticeSettings& value) override {
    Log("ShowPractice");
    practice = value;
  }
  void CaptureLayout() override { Log("CaptureLayout"); }
  void MoveWindowTo(WindowRect rect, std::optional<int> rows) override {
    Log("MoveWindowTo " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
        std::to_string(rect.right) + " " + std::to_string(rect.bottom) +
        (rows ? " rows " + std::to_string(*rows) : std::string()));
    window = rect;
  }

  int Bpm() const override { return bpm; }
  std::string BeatsPerMeasureText() const override { return beatsText; }
  int Style() const override { return style; }
  int Instrument(int voice) const override { return instrument[static_cast<std::size_t>(voice)]; }
  int Volume(int voice) const override { return volume[static_cast<std::size_t>(voice)]; }
  int BlinkSize(int voice) const override { return blinkSize[static_cast<std::size_t>(voice)]; }
  std::string CustomMeasureText() const override { return customText; }
  bool Blinking() const override { return blinking; }
  PracticeSettings Practice() const override { return practice; }
  WindowRect CurrentWindowRect() const override { return window; }
  std::optional<int> VisibleRows() const override { return rows; }
  std::vector<WindowRect> ScreenRects() const override { return screens; }

  int PresetCount() const override { return static_cast<int>(presets.size()); }
  std::string PresetText(int position) const override {
    return presets.at(static_cast<std::size_t>(position));
  }
  void InsertPreset(int position, std::string_view name) override {
    Log("InsertPreset " + std::to_string(position) + " " + std::string(name));
    presets.insert(presets.begin() + position, std::string(name));
  }
  void RemovePreset(int position) override {
    Log("RemovePreset " + std::to_string(position));
    presets.erase(presets.begin() + position);
  }
  int SelectedPreset() const override { return selected; }
  void SelectPreset(int position) override {
    Log("SelectPreset " + std::to_string(position));
    selected = position;
    nameText = position >= 0 ? presets.at(static_cast<std::size_t>(position)) : "";
  }
  std::string PresetNameText() const override { return nameText; }

  void EnableSave(bool enabled) override {
    Log(std::string("EnableSave ") + (enabled ? "1" : "0"));
    saveEnabled = enabled;
  }
  void EnableDelete(bool enabled) override {
    Log(std::string("EnableDelete ") + (enabled ? "1" : "0"));
    deleteEnabled = enabled;
  }
  void MakeSaveDefault() override { Log("MakeSaveDefault"); }
  void OnSettingsChanged() override {
    Log("OnSettingsChanged");
    selected = -1;
    nameText.clear();
    deleteEnabled = false;
  }
  bool AskYesNo(std::string_view caption, std::string_view text) override {
    Log("AskYesNo " + std::string(caption) + " | " + std::string(text));
    return answerYes;
  }
  void ShowError(std::string_view caption, std::string_view text) override {
    Log("ShowError " + std::string(caption) + " | " + std::string(text));
  }

  // The user picks a list item: the list selects it and shows its text.
  void UserSelects(int position) {
    selected = position;
    nameText = presets.at(static_cast<std::size_t>(position));
  }

  bool Called(std::string_view call) const {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }

 private:
  void Log(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace ticktavo::test
