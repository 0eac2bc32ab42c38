#pragma once

#include "store/registry.h"
#include "ui/settings_seam.h"

namespace ticktavo {

// The window's settings, kept in a registry: the user's settings file in the program, an
// in-memory one in tests. Each call applies the settings layer's rules to the dialog's
// controls through a DialogSettingsView. The registry must outlive this object.
//
// Typing a preset name needs no stored data: the dialog's own OnPresetTextChanged enables
// Save exactly while the name is not empty and gives it the default look.
class StoreSettings final : public SettingsSeam {
 public:
  explicit StoreSettings(Registry& registry) : m_registry(registry) {}

  void LoadSettings(MetronomeDialog& dialog, const char* presetName) override;
  bool SaveSettings(MetronomeDialog& dialog, const char* presetName) override;
  void OnPresetSelected(MetronomeDialog& dialog) override;
  void OnSavePreset(MetronomeDialog& dialog) override;
  void OnDeletePreset(MetronomeDialog& dialog) override;

 private:
  Registry& m_registry;
};

}  // namespace ticktavo
