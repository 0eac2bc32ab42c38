#include "store/settings_store.h"

#include <vector>

namespace ticktavo {
namespace {

// The "%s" of a message template replaced by the name.
std::string Format(std::string_view text, std::string_view name) {
  std::size_t at = text.find("%s");
  if (at == std::string_view::npos) return std::string(text);
  std::string result(text.substr(0, at));
  result.append(name);
  result.append(text.substr(at + 2));
  return result;
}

}  // namespace

bool SettingsStore::SaveSettings(std::optional<std::string_view> presetName) {
  const std::string path = PresetKeyPath(presetName);
  RegistryTransaction transaction(m_registry);
  // Without a transaction the values would land one by one; better to save nothing.
  if (!transaction.Begun()) return false;
  OpenKey key(m_registry);
  if (key.Create(Registry::kCurrentUser, path, RegAccess::kWrite) != RegResult::kSuccess) {
    return false;
  }

  Settings settings;
  settings.bpm = m_view.Bpm();
  settings.beatsPerMeasure =
      AtoiPrefix(std::string_view(m_view.BeatsPerMeasureText()).substr(0, kBeatsFieldCharacters));
  settings.style = m_view.Style();
  for (int n = 0; n < kVoiceCount; ++n) {
    auto v = static_cast<std::size_t>(n);
    settings.instrument[v] = m_view.Instrument(n);
    settings.volume[v] = m_view.Volume(n);
    settings.blinkSize[v] = m_view.BlinkSize(n);
  }
  settings.customMeasure = m_view.CustomMeasureText();
  settings.blinking = m_view.Blinking();
  settings.practice = m_view.Practice();

  RegResult written = WriteSettings(m_registry, key.Get(), settings);
  if (!presetName) {
    RegResult more = WriteDword(m_registry, key.Get(), kPresetValue, m_view.SelectedPreset());
    if (written == RegResult::kSuccess) written = more;
    std::vector<WindowRect> screens = m_view.ScreenRects();
    more =
        WriteWindowRect(m_registry, key.Get(), KeepOnScreen(m_view.CurrentWindowRect(), screens));
    if (written == RegResult::kSuccess) written = more;
    if (const std::optional<int> rows = m_view.VisibleRows()) {
      more = WriteDword(m_registry, key.Get(), kWindowRowsValue, *rows);
      if (written == RegResult::kSuccess) written = more;
    }
  }
  // Half a save is worse than none: a failed write undoes the whole save.
  if (written != RegResult::kSuccess) return false;
  return transaction.Commit() == RegResult::kSuccess;
}

void SettingsStore::LoadSettings(std::optional<std::string_view> presetName) {
  const std::string path = PresetKeyPath(presetName);
  // One load reads one moment of the file, never half of another copy's save, without waiting
  // for that save to end. A store that will not start a transaction is still read.
  RegistryTransaction transaction(m_registry, RegistryTransaction::Kind::kRead);
  OpenKey key(m_registry);
  const bool opened =
      key.Create(Registry::kCurrentUser, path, RegAccess::kRead) == RegResult::kSuccess;
  // A preset that cannot be opened changes nothing. Main settings that cannot be opened (a
  // settings file the program cannot use) are taken as empty: the window starts on the
  // defaults instead of showing blank fields, no style and sliders at 0 over the values the
  // dialog really plays with.
  if (!opened && presetName) return;

  Settings defaults;
  if (presetName) {
    // A preset without blinker sizes keeps the sizes in force.
    for (int n = 0; n < kVoiceCount; ++n) {
      defaults.blinkSize[static_cast<std::size_t>(n)] = m_view.BlinkSize(n);
    }
  }
  const Settings s = opened ? ReadSettings(m_registry, key.Get(), defaults) : defaults;

  m_view.SetTempoText(std::to_string(s.bpm));
  m_view.TempoEditKillFocus();
  m_view.SetBeatsPerMeasureText(std::to_string(s.beatsPerMeasure));
  for (int n = 0; n < kVoiceCount; ++n) {
    auto v = static_cast<std::size_t>(n);
    m_view.ShowInstrument(n, s.instrument[v]);
    m_view.ShowVolume(n, s.volume[v]);
    m_view.ShowBlinkSize(n, s.blinkSize[v]);
  }
  m_view.SetCustomMeasureText(s.customMeasure);
  m_view.ApplyStyle(StyleToApply(s.style));
  m_view.ShowBlinking(s.blinking);
  m_view.ShowPractice(s.practice);

  if (!presetName) {
    int position = kDefaultPresetPosition;
    if (opened) {
      std::string name;
      for (std::uint32_t index = 0;
           m_registry.EnumKey(key.Get(), index, &name) == RegResult::kSuccess; ++index) {
        if (name.size() < kPresetNameBufferSize) InsertSorted(name);
      }
      position = ReadDword(m_registry, key.Get(), kPresetValue, kDefaultPresetPosition);
    }
    m_view.SelectPreset(position >= 0 && position < m_view.PresetCount() ? position : -1);
    m_view.EnableDelete(position != -1);
    m_view.EnableSave(position == -1);

    m_view.CaptureLayout();
    // With no place stored (a first start) the window stays where it was created: moving it
    // to its own rectangle would change nothing, and before the window is first shown that
    // rectangle is not yet the place the system will give it.
    if (opened && WindowRectStored(m_registry, key.Get())) {
      const WindowRect stored = ReadWindowRect(m_registry, key.Get(), m_view.CurrentWindowRect());
      std::vector<WindowRect> screens = m_view.ScreenRects();
      m_view.MoveWindowTo(KeepOnScreen(stored, screens), ReadWindowRows(m_registry, key.Get()));
    }
  }
  transaction.Commit();
}

void SettingsStore::OnPresetSelected() {
  const int position = m_view.SelectedPreset();
  if (position < 0 || position >= m_view.PresetCount()) return;
  const std::string name = m_view.PresetText(position);
  LoadSettings(name);
  m_view.EnableSave(false);
  m_view.EnableDelete(true);
  m_view.SelectPreset(position);
}

void SettingsStore::OnSavePreset() {
  const std::string name = m_view.PresetNameText();
  // An empty name would name the main key itself.
  if (name.empty()) return;
  const std::string path = PresetKeyPath(name);

  const bool overwrite = PresetKeyExists(path);
  if (overwrite && !m_view.AskYesNo(kPresetExistsCaption, Format(kPresetExistsText, name))) {
    return;
  }
  if (!SaveSettings(name)) {
    m_view.ShowError(kRegistryErrorCaption, kRegistryErrorText);
    return;
  }
  // A new name may still be listed when its key went away meanwhile (another copy deleted
  // it): select that item rather than list the name twice.
  int position = FindPreset(name);
  if (position < 0 && !overwrite) position = InsertSorted(name);
  m_view.SelectPreset(position);
  m_view.EnableSave(false);
  m_view.EnableDelete(true);
}

void SettingsStore::OnDeletePreset() {
  const std::string name = m_view.PresetNameText();
  // An empty name would name the main key itself.
  if (name.empty()) return;
  const std::string path = PresetKeyPath(name);
  m_registry.DeleteKey(Registry::kCurrentUser, path);
  if (!PresetKeyExists(path)) {
    const int position = FindPreset(name);
    if (position >= 0) m_view.RemovePreset(position);
  }
  m_view.OnSettingsChanged();
}

void SettingsStore::OnPresetTextChanged() {
  m_view.EnableSave(!m_view.PresetNameText().empty());
  m_view.MakeSaveDefault();
}

int SettingsStore::FindPreset(std::string_view name) const {
  const int count = m_view.PresetCount();
  for (int position = 0; position < count; ++position) {
    if (PresetNameEquals(m_view.PresetText(position), name)) return position;
  }
  return -1;
}

int SettingsStore::InsertSorted(std::string_view name) {
  // After any equal names, as a sorted list adds them.
  int low = 0;
  int high = m_view.PresetCount();
  while (low < high) {
    int middle = low + (high - low) / 2;
    if (PresetNameLess(name, m_view.PresetText(middle))) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  m_view.InsertPreset(low, name);
  return low;
}

bool SettingsStore::PresetKeyExists(const std::string& path) {
  return OpenKey(m_registry).Open(Registry::kCurrentUser, path, RegAccess::kRead) ==
         RegResult::kSuccess;
}

}  // namespace ticktavo
