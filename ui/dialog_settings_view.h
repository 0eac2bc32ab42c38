#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/settings_view.h"

namespace ticktavo {

class MetronomeDialog;

// The settings layer's view of the main window, over the dialog's real controls. Setting a
// field from here runs its change handler exactly as a user's change would (the tempo, beats
// and custom measure fields always notify, even when the text stays the same), while the
// voice lists and sliders are set without their user handlers, so the Save and Delete
// states are the ones the settings layer gives them.
//
// Window rectangles are the whole window, frame included, with exclusive right and bottom
// edges (left = x, right = x + width), in the screens' own pixels.
//
// Lives only as long as one settings call; everything runs on the window's thread.
class DialogSettingsView final : public SettingsView {
 public:
  explicit DialogSettingsView(MetronomeDialog& dialog) : m_dialog(dialog) {}

  void SetTempoText(std::string_view text) override;
  void TempoEditKillFocus() override;
  void SetBeatsPerMeasureText(std::string_view text) override;
  void ShowInstrument(int voice, int instrument) override;
  void ShowVolume(int voice, int volume) override;
  void ShowBlinkSize(int voice, int size) override;
  void SetCustomMeasureText(std::string_view text) override;
  void ApplyStyle(MetronomeStyle style) override;
  void ShowBlinking(bool on) override;
  void CaptureLayout() override;
  void MoveWindowTo(WindowRect rect) override;

  int Bpm() const override;
  std::string BeatsPerMeasureText() const override;
  int Style() const override;
  int Instrument(int voice) const override;
  int Volume(int voice) const override;
  int BlinkSize(int voice) const override;
  std::string CustomMeasureText() const override;
  bool Blinking() const override;
  WindowRect CurrentWindowRect() const override;
  std::vector<WindowRect> ScreenRects() const override;

  int PresetCount() const override;
  std::string PresetText(int position) const override;
  void InsertPreset(int position, std::string_view name) override;
  void RemovePreset(int position) override;
  int SelectedPreset() const override;
  void SelectPreset(int position) override;
  std::string PresetNameText() const override;

  void EnableSave(bool enabled) override;
  void EnableDelete(bool enabled) override;
  void MakeSaveDefault() override;
  void OnSettingsChanged() override;
  bool AskYesNo(std::string_view caption, std::string_view text) override;
  void ShowError(std::string_view caption, std::string_view text) override;

 private:
  MetronomeDialog& m_dialog;
};

}  // namespace ticktavo
