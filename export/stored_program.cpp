#include "export/stored_program.h"

#include <algorithm>

#include "rhythm/measure_parser.h"
#include "rhythm/sequencer.h"
#include "store/sqlite_registry.h"

namespace ticktavo {

namespace {

std::string NoPreset(std::string_view name) {
  return "there is no preset named \"" + std::string(name) + "\"";
}

}  // namespace

std::optional<Settings> ReadStoredSettings(const std::filesystem::path& file,
                                           std::optional<std::string_view> preset,
                                           std::string* error) {
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) {
    if (!preset) return Settings{};
    *error = NoPreset(*preset);
    return std::nullopt;
  }
  std::string problem;
  std::unique_ptr<SqliteRegistry> registry = SqliteRegistry::OpenReadOnly(file, &problem);
  if (!registry) {
    *error = "cannot read the settings file " + file.string() + ": " + problem;
    return std::nullopt;
  }
  const auto cannotRead = [&] {
    *error = "cannot read the settings file " + file.string();
    return std::nullopt;
  };
  OpenKey main(*registry);
  const RegResult opened = main.Open(Registry::kCurrentUser, SettingsKey, RegAccess::kRead);
  if (opened == RegResult::kFileNotFound) {
    if (!preset) return Settings{};
    *error = NoPreset(*preset);
    return std::nullopt;
  }
  if (opened != RegResult::kSuccess) return cannotRead();
  if (!preset) return ReadSettings(*registry, main.Get(), Settings{});

  // The presets are the main key's subkeys, as the window lists them.
  std::string name;
  for (std::uint32_t i = 0;; ++i) {
    const RegResult listed = registry->EnumKey(main.Get(), i, &name);
    if (listed == RegResult::kNoMoreItems) {
      *error = NoPreset(*preset);
      return std::nullopt;
    }
    if (listed != RegResult::kSuccess) return cannotRead();
    if (PresetNameEquals(name, *preset)) break;
  }
  OpenKey key(*registry);
  if (key.Open(main.Get(), name, RegAccess::kRead) != RegResult::kSuccess) {
    return cannotRead();
  }
  return ReadSettings(*registry, key.Get(), Settings{});
}

int TempoFromStored(int stored) {
  const auto value = static_cast<unsigned>(stored);
  if (value < static_cast<unsigned>(kMinBpm)) return kMinBpm;
  if (value > static_cast<unsigned>(kMaxBpm)) return kMaxBpm;
  return stored;
}

std::optional<ClickProgram> ProgramFromSettings(const Settings& settings, std::string* error) {
  ClickProgram program;
  program.bpm = TempoFromStored(settings.bpm);
  program.voices.m_instrument = settings.instrument;
  program.voices.m_volume = settings.volume;
  program.voices.m_blinkSize = settings.blinkSize;
  // The speed trainer and muted measures as stored, so the track is what Play would give.
  program.practice = settings.practice;
  // The window first rebuilds the simple measure from the beats field, then applies the style.
  SetSimpleMeasure(program.measure, settings.beatsPerMeasure);
  switch (StyleToApply(settings.style)) {
    case MetronomeStyle::Straight:
      SetStraightStyle(program.measure);
      // The practice tools count the beats field's number of beats as a measure.
      program.straightCount =
          std::max(std::clamp(settings.beatsPerMeasure, 0, kMeasureCapacity), 1);
      break;
    case MetronomeStyle::SimpleMeasure:
      break;
    case MetronomeStyle::Custom:
      if (const MeasureParseResult parsed =
              ParseCustomMeasure(settings.customMeasure, program.measure);
          parsed != MeasureParseResult::Ok) {
        *error = MeasureParseMessage(parsed);
        return std::nullopt;
      }
      break;
  }
  return program;
}

}  // namespace ticktavo
