#pragma once

namespace ticktavo {

class MetronomeDialog;

// How the window reads and writes its stored settings and presets. The window calls
// LoadSettings(dialog, nullptr) as the last step of its initialisation and
// SaveSettings(dialog, nullptr) when it closes; the preset handlers run when the user
// chooses, saves or deletes a preset. Everything runs on the window's thread.
class SettingsSeam {
 public:
  virtual ~SettingsSeam() = default;

  // presetName null: the current settings, the preset list and the window's place.
  virtual void LoadSettings(MetronomeDialog& dialog, const char* presetName) = 0;
  // presetName null: the current settings, the preset selection and the window's place.
  // False when nothing could be written.
  virtual bool SaveSettings(MetronomeDialog& dialog, const char* presetName) = 0;

  virtual void OnPresetSelected(MetronomeDialog& /*dialog*/) {}
  virtual void OnSavePreset(MetronomeDialog& /*dialog*/) {}
  virtual void OnDeletePreset(MetronomeDialog& /*dialog*/) {}
};

// Keeps nothing: the window starts as its initialisation leaves it and forgets on close.
class NoSettings final : public SettingsSeam {
 public:
  void LoadSettings(MetronomeDialog& /*dialog*/, const char* /*presetName*/) override {}
  bool SaveSettings(MetronomeDialog& /*dialog*/, const char* /*presetName*/) override {
    return false;
  }
};

}  // namespace ticktavo
