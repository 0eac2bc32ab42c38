#include "store/stored_settings.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "rhythm/sequencer.h"
#include "store/key_path_registry.h"

namespace ticktavo {
namespace {

std::array<std::byte, 4> DwordBytes(int value) {
  auto bits = static_cast<std::uint32_t>(value);
  return {std::byte(bits & 0xFF), std::byte((bits >> 8) & 0xFF), std::byte((bits >> 16) & 0xFF),
          std::byte((bits >> 24) & 0xFF)};
}

int DwordValue(const std::array<std::byte, 4>& bytes) {
  std::uint32_t bits = std::to_integer<std::uint32_t>(bytes[0]) |
                       std::to_integer<std::uint32_t>(bytes[1]) << 8 |
                       std::to_integer<std::uint32_t>(bytes[2]) << 16 |
                       std::to_integer<std::uint32_t>(bytes[3]) << 24;
  return static_cast<int>(bits);
}

// The flag as the one byte the file has always held for it.
bool ReadBlinking(Registry& registry, Registry::Key key, bool fallback) {
  std::byte flag = std::byte(fallback ? 1 : 0);
  std::size_t size = 0;
  registry.QueryValue(key, kBlinkingValue, nullptr, std::span<std::byte>(&flag, 1), &size);
  return flag != std::byte(0);
}

// The text of "Custom Measure": the stored characters up to the first zero. A text too long
// for the 1001-byte buffer cannot be read and the default stays.
std::string ReadCustomMeasure(Registry& registry, Registry::Key key, const std::string& fallback) {
  std::vector<std::byte> buffer(kCustomMeasureBufferSize);
  std::size_t size = 0;
  if (registry.QueryValue(key, kCustomMeasureValue, nullptr, buffer, &size) !=
      RegResult::kSuccess) {
    return fallback;
  }
  const char* text = reinterpret_cast<const char*>(buffer.data());
  return std::string(text, strnlen(text, size));
}

void Accumulate(RegResult* first, RegResult result) {
  if (*first == RegResult::kSuccess) *first = result;
}

}  // namespace

std::string VoiceValueName(std::string_view nameTemplate, int voice) {
  std::string name(nameTemplate);
  std::size_t x = name.find('x');
  if (x != std::string::npos) name[x] = static_cast<char>('0' + voice);
  return name;
}

std::string PresetKeyPath(std::optional<std::string_view> presetName) {
  std::string path(SettingsKey);
  if (presetName) {
    path.push_back('\\');
    path.append(*presetName);
  }
  return path;
}

int ReadDword(Registry& registry, Registry::Key key, std::string_view name, int fallback) {
  std::array<std::byte, 4> bytes = DwordBytes(fallback);
  std::size_t size = 0;
  registry.QueryValue(key, name, nullptr, bytes, &size);
  return DwordValue(bytes);
}

RegResult WriteDword(Registry& registry, Registry::Key key, std::string_view name, int value) {
  std::array<std::byte, 4> bytes = DwordBytes(value);
  return registry.SetValue(key, name, kRegDword, bytes);
}

Settings ReadSettings(Registry& registry, Registry::Key key, const Settings& defaults) {
  Settings s = defaults;
  s.bpm = ReadDword(registry, key, kBpMinuteValue, s.bpm);
  s.beatsPerMeasure =
      std::clamp(ReadDword(registry, key, kBpMeasureValue, s.beatsPerMeasure), 0, kMeasureCapacity);
  for (int n = 0; n < kVoiceCount; ++n) {
    auto v = static_cast<std::size_t>(n);
    s.instrument[v] =
        ReadDword(registry, key, VoiceValueName(kSoundValueTemplate, n), s.instrument[v]);
    if (!PercussionTable::IsInstrument(s.instrument[v])) {
      s.instrument[v] = PercussionTable::defaultInstrument[v];
    }
    s.volume[v] =
        std::clamp(ReadDword(registry, key, VoiceValueName(kVolumeValueTemplate, n), s.volume[v]),
                   0, kMaxVolume);
    s.blinkSize[v] = std::clamp(
        ReadDword(registry, key, VoiceValueName(kBlinkerValueTemplate, n), s.blinkSize[v]), 0,
        kMaxBlinkFrame);
  }
  s.customMeasure = ReadCustomMeasure(registry, key, s.customMeasure);
  s.style = ReadDword(registry, key, kMetronomeStyleValue, s.style);
  s.blinking = ReadBlinking(registry, key, s.blinking);
  PracticeSettings& p = s.practice;
  p.trainer = ReadDword(registry, key, kTrainerValue, p.trainer ? 1 : 0) != 0;
  p.trainerStep = ReadDword(registry, key, kTrainerStepValue, p.trainerStep);
  p.trainerEvery = ReadDword(registry, key, kTrainerEveryValue, p.trainerEvery);
  p.trainerTarget = ReadDword(registry, key, kTrainerTargetValue, p.trainerTarget);
  p.mute = ReadDword(registry, key, kMuteValue, p.mute ? 1 : 0) != 0;
  p.mutePlayed = ReadDword(registry, key, kMutePlayedValue, p.mutePlayed);
  p.muteSilent = ReadDword(registry, key, kMuteSilentValue, p.muteSilent);
  p = p.Clamped();
  return s;
}

RegResult WriteSettings(Registry& registry, Registry::Key key, const Settings& s) {
  RegResult first = RegResult::kSuccess;
  Accumulate(&first, WriteDword(registry, key, kBpMinuteValue, s.bpm));
  Accumulate(&first, WriteDword(registry, key, kBpMeasureValue, s.beatsPerMeasure));
  Accumulate(&first, WriteDword(registry, key, kMetronomeStyleValue, s.style));
  for (int n = 0; n < kVoiceCount; ++n) {
    auto v = static_cast<std::size_t>(n);
    Accumulate(&first,
               WriteDword(registry, key, VoiceValueName(kSoundValueTemplate, n), s.instrument[v]));
    Accumulate(&first,
               WriteDword(registry, key, VoiceValueName(kVolumeValueTemplate, n), s.volume[v]));
    Accumulate(&first,
               WriteDword(registry, key, VoiceValueName(kBlinkerValueTemplate, n), s.blinkSize[v]));
  }
  // The text and its terminating zero.
  std::vector<std::byte> text(s.customMeasure.size() + 1, std::byte(0));
  std::memcpy(text.data(), s.customMeasure.data(), s.customMeasure.size());
  Accumulate(&first, registry.SetValue(key, kCustomMeasureValue, kRegSz, text));
  // One byte, with the DWORD type: what earlier versions wrote and read back.
  std::byte flag = std::byte(s.blinking ? 1 : 0);
  Accumulate(&first, registry.SetValue(key, kBlinkingValue, kRegDword,
                                       std::span<const std::byte>(&flag, 1)));
  const PracticeSettings& p = s.practice;
  Accumulate(&first, WriteDword(registry, key, kTrainerValue, p.trainer ? 1 : 0));
  Accumulate(&first, WriteDword(registry, key, kTrainerStepValue, p.trainerStep));
  Accumulate(&first, WriteDword(registry, key, kTrainerEveryValue, p.trainerEvery));
  Accumulate(&first, WriteDword(registry, key, kTrainerTargetValue, p.trainerTarget));
  Accumulate(&first, WriteDword(registry, key, kMuteValue, p.mute ? 1 : 0));
  Accumulate(&first, WriteDword(registry, key, kMutePlayedValue, p.mutePlayed));
  Accumulate(&first, WriteDword(registry, key, kMuteSilentValue, p.muteSilent));
  return first;
}

WindowRect ReadWindowRect(Registry& registry, Registry::Key key, WindowRect current) {
  current.top = ReadDword(registry, key, kWindowTopValue, current.top);
  current.bottom = ReadDword(registry, key, kWindowBottomValue, current.bottom);
  current.left = ReadDword(registry, key, kWindowLeftValue, current.left);
  current.right = ReadDword(registry, key, kWindowRightValue, current.right);
  return current;
}

bool WindowRectStored(Registry& registry, Registry::Key key) {
  for (std::string_view name :
       {kWindowTopValue, kWindowBottomValue, kWindowLeftValue, kWindowRightValue}) {
    // An empty buffer: a stored value answers that it needs more room (or fits, when empty).
    const RegResult result = registry.QueryValue(key, name, nullptr, {}, nullptr);
    if (result == RegResult::kSuccess || result == RegResult::kMoreData) return true;
  }
  return false;
}

std::optional<int> ReadWindowRows(Registry& registry, Registry::Key key) {
  const RegResult result = registry.QueryValue(key, kWindowRowsValue, nullptr, {}, nullptr);
  if (result != RegResult::kSuccess && result != RegResult::kMoreData) return std::nullopt;
  return ReadDword(registry, key, kWindowRowsValue, kVoiceCount);
}

RegResult WriteWindowRect(Registry& registry, Registry::Key key, WindowRect rect) {
  RegResult first = RegResult::kSuccess;
  Accumulate(&first, WriteDword(registry, key, kWindowTopValue, rect.top));
  Accumulate(&first, WriteDword(registry, key, kWindowBottomValue, rect.bottom));
  Accumulate(&first, WriteDword(registry, key, kWindowLeftValue, rect.left));
  Accumulate(&first, WriteDword(registry, key, kWindowRightValue, rect.right));
  return first;
}

WindowRect KeepOnScreen(WindowRect window, std::span<const WindowRect> screens) {
  if (screens.empty()) return window;
  // In 64 bits: stored edges can be anything, and sizes and areas must not overflow.
  using Wide = long long;
  const auto overlap = [&window](const WindowRect& screen) {
    const Wide width =
        std::min<Wide>(window.right, screen.right) - std::max<Wide>(window.left, screen.left);
    const Wide height =
        std::min<Wide>(window.bottom, screen.bottom) - std::max<Wide>(window.top, screen.top);
    return width > 0 && height > 0 ? width * height : 0;
  };
  const WindowRect* screen = &screens.front();
  Wide best = overlap(*screen);
  for (const WindowRect& other : screens.subspan(1)) {
    if (const Wide area = overlap(other); area > best) {
      best = area;
      screen = &other;
    }
  }
  const Wide width = std::max<Wide>(Wide{window.right} - window.left, 0);
  const Wide height = std::clamp<Wide>(Wide{window.bottom} - window.top, 0,
                                       std::max<Wide>(Wide{screen->bottom} - screen->top, 0));
  // Left and top edges no further than the screen's right and bottom allow, and never before
  // its left and top: the title bar and the window's left edge stay reachable.
  const Wide left =
      std::max<Wide>(std::min<Wide>(window.left, screen->right - width), screen->left);
  const Wide top = std::max<Wide>(std::min<Wide>(window.top, screen->bottom - height), screen->top);
  const auto fit = [](Wide value) {
    return static_cast<int>(std::clamp<Wide>(value, INT_MIN, INT_MAX));
  };
  return WindowRect{fit(left), fit(top), fit(left + width), fit(top + height)};
}

MetronomeStyle StyleToApply(int storedStyle) {
  switch (storedStyle) {
    case static_cast<int>(MetronomeStyle::Straight):
      return MetronomeStyle::Straight;
    case static_cast<int>(MetronomeStyle::SimpleMeasure):
      return MetronomeStyle::SimpleMeasure;
    default:
      return MetronomeStyle::Custom;
  }
}

bool PresetNameLess(std::string_view a, std::string_view b) {
  return CompareNamesNoCase(a, b) < 0;
}

bool PresetNameEquals(std::string_view a, std::string_view b) {
  return CompareNamesNoCase(a, b) == 0;
}

}  // namespace ticktavo
