#include "ui/store_settings.h"

#include <optional>
#include <string_view>

#include "store/settings_store.h"
#include "ui/dialog_settings_view.h"

namespace ticktavo {
namespace {

std::optional<std::string_view> NameOf(const char* presetName) {
  if (presetName == nullptr) return std::nullopt;
  return std::string_view(presetName);
}

}  // namespace

// The view and the store hold only references, so each call builds them over the dialog it
// is given.

void StoreSettings::LoadSettings(MetronomeDialog& dialog, const char* presetName) {
  DialogSettingsView view(dialog);
  SettingsStore(m_registry, view).LoadSettings(NameOf(presetName));
}

bool StoreSettings::SaveSettings(MetronomeDialog& dialog, const char* presetName) {
  DialogSettingsView view(dialog);
  return SettingsStore(m_registry, view).SaveSettings(NameOf(presetName));
}

void StoreSettings::OnPresetSelected(MetronomeDialog& dialog) {
  DialogSettingsView view(dialog);
  SettingsStore(m_registry, view).OnPresetSelected();
}

void StoreSettings::OnSavePreset(MetronomeDialog& dialog) {
  DialogSettingsView view(dialog);
  SettingsStore(m_registry, view).OnSavePreset();
}

void StoreSettings::OnDeletePreset(MetronomeDialog& dialog) {
  DialogSettingsView view(dialog);
  SettingsStore(m_registry, view).OnDeletePreset();
}

}  // namespace ticktavo
