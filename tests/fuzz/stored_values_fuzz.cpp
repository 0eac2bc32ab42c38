// The settings loader fed any stored values through the in-memory registry: any type, any byte
// count, any number, any preset names, at the main key and in presets. Everything it hands the
// window is in range (CheckingView), what the window then saves loads back the same, and the
// preset commands never touch the main key, whatever name they are given.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "checking_view.h"
#include "store/memory_registry.h"
#include "store/settings_store.h"

namespace {

using ticktavo::Registry;
using ticktavo::RegResult;
using ticktavo::fuzz::CheckingView;

const std::vector<std::string>& ValueNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list = {
        "BPMinute", "BPMeasure", "Metronome Style", "Custom Measure", "Blinking",
        "Preset",   "WindowTop", "WindowBottom",    "WindowLeft",     "WindowRight"};
    for (int n = 0; n < ticktavo::kVoiceCount; ++n) {
      for (const char* prefix : {"Sound ", "Volume ", "Blinker "}) {
        list.push_back(prefix + std::to_string(n));
      }
    }
    return list;
  }();
  return names;
}

std::vector<std::byte> ValueBytes(FuzzedDataProvider& input) {
  std::size_t size = 0;
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      size = 4;
      break;
    case 1:
      size = input.ConsumeIntegralInRange<std::size_t>(0, 8);
      break;
    case 2:
      size = input.ConsumeIntegralInRange<std::size_t>(995, 1005);
      break;
    default:
      size = input.ConsumeIntegralInRange<std::size_t>(0, 2000);
      break;
  }
  std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(size);
  std::vector<std::byte> result(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) result[i] = std::byte(bytes[i]);
  return result;
}

// Every value of the main key, to see that a preset command left it alone.
std::map<std::string, std::vector<std::byte>> MainValues(Registry& registry) {
  std::map<std::string, std::vector<std::byte>> values;
  ticktavo::OpenKey key(registry);
  if (key.Open(Registry::kCurrentUser, ticktavo::SettingsKey, ticktavo::RegAccess::kRead) !=
      RegResult::kSuccess) {
    return values;
  }
  for (const std::string& name : ValueNames()) {
    std::size_t size = 0;
    if (registry.QueryValue(key.Get(), name, nullptr, {}, &size) == RegResult::kFileNotFound) {
      continue;
    }
    std::vector<std::byte> buffer(size);
    if (registry.QueryValue(key.Get(), name, nullptr, buffer, &size) == RegResult::kSuccess) {
      values.emplace(name, std::move(buffer));
    }
  }
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  ticktavo::MemoryRegistry registry;

  // Stored values: at the main key or in a preset of any name.
  const int count = input.ConsumeIntegralInRange(0, 64);
  for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
    std::optional<std::string> preset;
    if (input.ConsumeBool()) preset = input.ConsumeRandomLengthString(40);
    const std::string name =
        input.ConsumeBool()
            ? ValueNames()[input.ConsumeIntegralInRange<std::size_t>(0, ValueNames().size() - 1)]
            : input.ConsumeRandomLengthString(20);
    const auto type = input.ConsumeIntegral<ticktavo::RegType>();
    const std::vector<std::byte> bytes = ValueBytes(input);
    ticktavo::OpenKey key(registry);
    if (key.Create(Registry::kCurrentUser, ticktavo::PresetKeyPath(preset),
                   ticktavo::RegAccess::kWrite) == RegResult::kSuccess) {
      registry.SetValue(key.Get(), name, type, bytes);
    }
  }

  // Start-up: the main key, then each listed preset chosen in turn.
  CheckingView view;
  ticktavo::SettingsStore store(registry, view);
  store.LoadSettings(std::nullopt);
  const int listed = view.PresetCount();
  for (int position = 0; position < listed && position < 4; ++position) {
    view.selected = position;
    view.nameText = view.presets[static_cast<std::size_t>(position)];
    store.OnPresetSelected();
    FUZZ_REQUIRE(view.selected == position, "a chosen preset is not selected afterwards");
  }

  // What the window saves at close loads back as it was shown.
  FUZZ_REQUIRE(store.SaveSettings(std::nullopt), "the main settings could not be saved");
  CheckingView reopened;
  ticktavo::SettingsStore reopenedStore(registry, reopened);
  reopenedStore.LoadSettings(std::nullopt);
  FUZZ_REQUIRE(reopened.shown == view.shown, "saved settings load back differently");

  // Save and Delete under any name leave the main key's values as they are.
  const auto before = MainValues(registry);
  for (int i = 0; i < 4 && input.remaining_bytes() > 0; ++i) {
    reopened.nameText = input.ConsumeRandomLengthString(40);
    reopened.answerYes = input.ConsumeBool();
    if (input.ConsumeBool()) {
      reopenedStore.OnSavePreset();
    } else {
      reopenedStore.OnDeletePreset();
    }
  }
  FUZZ_REQUIRE(MainValues(registry) == before, "a preset command changed the main key");
  return 0;
}
