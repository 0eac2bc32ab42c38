#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/registry.h"
#include "store/settings_view.h"

namespace ticktavo {

// The settings and preset commands of the main dialog, over a registry and the dialog's
// controls. It keeps no state of its own, so the dialog makes one for each command, once its
// controls exist:
//
//   end of OnInitDialog   -> LoadSettings(std::nullopt)
//   OnClose               -> SaveSettings(std::nullopt)   (result ignored: nothing to tell)
//   preset list: user's selection change -> OnPresetSelected()
//   preset list: name edited             -> OnPresetTextChanged()
//   Save clicked                          -> OnSavePreset()
//   Delete clicked                        -> OnDeletePreset()
//
// The main key is read once at start-up and written once at close; a preset key is written
// only by Save, read only by choosing the preset and removed only by Delete.
//
// LoadSettings applies values in this order, which is behaviour: field handlers run as
// each field is set, and some of them clear the preset selection.
//   1. tempo: SetTempoText, then TempoEditKillFocus
//   2. SetBeatsPerMeasureText
//   3. for voice 0..8: ShowInstrument, ShowVolume, ShowBlinkSize
//   4. SetCustomMeasureText
//   5. ApplyStyle
//   6. ShowBlinking, then ShowPractice
//   main key only:
//   7. the preset list: InsertPreset for each subkey, in sorted position
//   8. SelectPreset(stored position; -1 when the list has no such item), then the buttons:
//      stored -1 -> Delete disabled, Save enabled; any other -> Delete enabled, Save
//      disabled (a missing value reads as 0)
//   9. CaptureLayout
//  10. MoveWindowTo(the stored rectangle over the current one, kept on screen); with no
//      rectangle stored the window stays where it was created
class SettingsStore {
 public:
  SettingsStore(Registry& registry, SettingsView& view) : m_registry(registry), m_view(view) {}

  // Writes the current settings to the main key (no name), including the preset
  // selection and the window rectangle, or to the named preset key. One call is one
  // transaction: it lands whole or not at all. False when nothing was saved: the key cannot
  // be opened or created (a name the registry refuses), or the store cannot be written.
  bool SaveSettings(std::optional<std::string_view> presetName);

  // Reads the main key (no name) or the named preset and applies it to the dialog in the
  // order above. A missing key is created empty, so its defaults apply. A preset key that
  // can be neither opened nor created changes nothing; main settings that cannot be opened
  // load as an empty key would. A preset without blinker sizes keeps the sizes in force; the
  // main key without them gives 8.
  void LoadSettings(std::optional<std::string_view> presetName);

  // The user chose an item in the preset list: load it, Save disabled, Delete enabled, the
  // item selected again (loading cleared the selection). With no item selected, nothing.
  void OnPresetSelected();

  // Saves the current settings under the typed name. An existing preset (names ignore
  // case) is overwritten only after Yes to the "Preset Already Exists" question; a name
  // the store refuses shows "Error Opening Registry Key". On success the name is selected
  // (a new one inserted in sorted position), Save disabled and Delete enabled. An empty
  // name does nothing.
  void OnSavePreset();

  // Deletes the preset of the typed name without asking, removes its item from the list
  // (found by name, ignoring case) and clears the selection. An item whose key survives the
  // delete (it has presets below it, or the file cannot be written) stays listed, so the
  // list shows what the next start will show. An empty name does nothing.
  void OnDeletePreset();

  // Save is enabled exactly when a name is typed, and becomes the default button.
  void OnPresetTextChanged();

 private:
  // Position of the list item equal to the name ignoring case, -1 when none.
  int FindPreset(std::string_view name) const;
  // Inserts the name where the sorted list wants it; returns that position.
  int InsertSorted(std::string_view name);
  bool PresetKeyExists(const std::string& path);

  Registry& m_registry;
  SettingsView& m_view;
};

}  // namespace ticktavo
