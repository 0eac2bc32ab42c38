// The stored settings: value names, the exact bytes written, reading over defaults with the
// ranges held, and the helpers the dialog's commands rely on.

#include "store/stored_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "store/memory_registry.h"
#include "store_test_support.h"

namespace ticktavo {
namespace {

using test::Bytes;
using test::TextBytes;

class StoredSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_open.Create(Registry::kCurrentUser, SettingsKey, RegAccess::kReadWrite),
              RegResult::kSuccess);
    m_key = m_open.Get();
  }

  void Put(std::string_view name, RegType type, const std::vector<std::byte>& data) {
    ASSERT_EQ(m_registry.SetValue(m_key, name, type, data), RegResult::kSuccess) << name;
  }
  void PutDword(std::string_view name, int value) {
    ASSERT_EQ(WriteDword(m_registry, m_key, name, value), RegResult::kSuccess);
  }

  MemoryRegistry m_registry;
  OpenKey m_open{m_registry};
  Registry::Key m_key = 0;
};

TEST(StoredNames, KeyPathsAndVoiceValueNames) {
  EXPECT_EQ(PresetKeyPath(std::nullopt), "Software\\Quelbrand\\Ticktavo");
  EXPECT_EQ(PresetKeyPath("Fast Swing"), "Software\\Quelbrand\\Ticktavo\\Fast Swing");
  EXPECT_EQ(PresetKeyPath("a\\b"), "Software\\Quelbrand\\Ticktavo\\a\\b");
  EXPECT_EQ(PresetKeyPath(""), "Software\\Quelbrand\\Ticktavo\\");
  EXPECT_EQ(VoiceValueName(kSoundValueTemplate, 0), "Sound 0");
  EXPECT_EQ(VoiceValueName(kVolumeValueTemplate, 4), "Volume 4");
  EXPECT_EQ(VoiceValueName(kBlinkerValueTemplate, 8), "Blinker 8");
}

TEST_F(StoredSettingsTest, WritesEveryValueInOrderWithExactTypesAndBytes) {
  test::FaultyRegistry recorder(m_registry);
  Settings s;
  s.bpm = 120;
  s.beatsPerMeasure = 3;
  s.style = 2;
  s.instrument[0] = 46;
  s.volume[8] = 0;
  s.blinkSize[4] = 5;
  s.customMeasure = "1(23)0";
  s.blinking = false;
  s.practice = {true, 10, 2, 260, true, 2, 1};
  ASSERT_EQ(WriteSettings(recorder, m_key, s), RegResult::kSuccess);

  // 3 leading DWORDs, 9 voices x 3, the text, the flag and 7 practice DWORDs: 39 values.
  std::vector<std::string> expectedNames = {"BPMinute", "BPMeasure", "Metronome Style"};
  for (char n = '0'; n <= '8'; ++n) {
    expectedNames.push_back(std::string("Sound ") + n);
    expectedNames.push_back(std::string("Volume ") + n);
    expectedNames.push_back(std::string("Blinker ") + n);
  }
  expectedNames.push_back("Custom Measure");
  expectedNames.push_back("Blinking");
  for (const char* name : {"Trainer", "Trainer Step", "Trainer Every", "Trainer Target", "Mute",
                           "Mute Played", "Mute Silent"}) {
    expectedNames.push_back(name);
  }
  ASSERT_EQ(recorder.writes.size(), expectedNames.size());
  for (std::size_t i = 0; i < expectedNames.size(); ++i) {
    EXPECT_EQ(recorder.writes[i].name, expectedNames[i]);
  }
  // 120 = 0x78, little-endian in 4 bytes.
  EXPECT_EQ(recorder.writes[0].data, Bytes({0x78, 0, 0, 0}));
  EXPECT_EQ(recorder.writes[0].type, kRegDword);
  EXPECT_EQ(recorder.writes[2].data, Bytes({2, 0, 0, 0}));
  // Sound 0 = 46 = 0x2E; Volume 8 = 0; Blinker 4 = 5.
  EXPECT_EQ(recorder.writes[3].data, Bytes({0x2E, 0, 0, 0}));
  EXPECT_EQ(recorder.writes[3 + 8 * 3 + 1].data, Bytes({0, 0, 0, 0}));
  EXPECT_EQ(recorder.writes[3 + 4 * 3 + 2].data, Bytes({5, 0, 0, 0}));
  // The text with its terminating zero, as REG_SZ.
  EXPECT_EQ(recorder.writes[30].type, kRegSz);
  EXPECT_EQ(recorder.writes[30].data, TextBytes(std::string("1(23)0\0", 7)));
  // One byte with the DWORD type.
  EXPECT_EQ(recorder.writes[31].type, kRegDword);
  EXPECT_EQ(recorder.writes[31].data, Bytes({0}));
  // The practice tools: 1, 10, 2, 260 (0x104), 1, 2, 1, each a 4-byte DWORD.
  const int practice[] = {1, 10, 2, 260, 1, 2, 1};
  for (std::size_t i = 0; i < std::size(practice); ++i) {
    EXPECT_EQ(recorder.writes[32 + i].type, kRegDword);
    EXPECT_EQ(recorder.writes[32 + i].data, Bytes({practice[i] & 0xFF, practice[i] >> 8, 0, 0}))
        << expectedNames[32 + i];
  }
}

TEST_F(StoredSettingsTest, ReadsBackWhatWasWritten) {
  Settings s;
  s.bpm = 4;
  s.beatsPerMeasure = 1000;
  s.style = 1;
  for (int n = 0; n < kVoiceCount; ++n) {
    auto v = static_cast<std::size_t>(n);
    s.instrument[v] = 40 + n % 7;
    s.volume[v] = n * 15;
    s.blinkSize[v] = 8 - n;
  }
  s.customMeasure = std::string(1000, '1');  // the longest text the buffer takes
  s.blinking = false;
  s.practice = {true, 100, 64, 4, true, 64, 64};  // every number at an end of its range
  ASSERT_EQ(WriteSettings(m_registry, m_key, s), RegResult::kSuccess);
  EXPECT_EQ(ReadSettings(m_registry, m_key, Settings{}), s);
}

TEST_F(StoredSettingsTest, MissingValuesKeepTheirDefaults) {
  Settings defaults;
  defaults.blinkSize = {1, 2, 3, 4, 5, 6, 7, 8, 0};  // e.g. a preset's sizes in force
  PutDword("BPMinute", 90);
  Settings expected = defaults;
  expected.bpm = 90;
  EXPECT_EQ(ReadSettings(m_registry, m_key, defaults), expected);

  // First start: nothing stored at all.
  Settings first = ReadSettings(m_registry, m_key, Settings{});
  EXPECT_EQ(first.beatsPerMeasure, 4);
  EXPECT_EQ(first.style, 0);
  EXPECT_EQ(first.instrument, (std::array<int, 9>{2, 1, 42, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(first.volume, (std::array<int, 9>{127, 127, 127, 127, 127, 127, 127, 127, 127}));
  EXPECT_EQ(first.blinkSize, (std::array<int, 9>{8, 8, 8, 8, 8, 8, 8, 8, 8}));
  EXPECT_EQ(first.customMeasure, "31212012121");
  EXPECT_TRUE(first.blinking);
  // Settings of earlier versions have no practice tools: off, with their default numbers.
  EXPECT_EQ(first.practice, (PracticeSettings{false, 5, 4, 200, false, 3, 1}));
}

TEST_F(StoredSettingsTest, ValuesOutsideTheirRangesAreHeldToThem) {
  struct Case {
    const char* name;
    int stored;
    int Settings::*scalar;
    std::array<int, 9> Settings::*perVoice;
    std::size_t voice;
    int expected;
  };
  // Voice 3 (index 2) defaults to instrument 42, voice 4 (index 3) to 0.
  const Case cases[] = {
      {"Sound 2", 47, nullptr, &Settings::instrument, 2, 42},
      {"Sound 2", -1, nullptr, &Settings::instrument, 2, 42},
      {"Sound 3", 1000, nullptr, &Settings::instrument, 3, 0},
      {"Sound 2", 46, nullptr, &Settings::instrument, 2, 46},
      {"Sound 2", 0, nullptr, &Settings::instrument, 2, 0},
      {"Volume 0", 128, nullptr, &Settings::volume, 0, 127},
      {"Volume 0", -5, nullptr, &Settings::volume, 0, 0},
      {"Volume 0", 127, nullptr, &Settings::volume, 0, 127},
      {"Blinker 8", 9, nullptr, &Settings::blinkSize, 8, 8},
      {"Blinker 8", INT_MIN, nullptr, &Settings::blinkSize, 8, 0},
      {"Blinker 8", 0, nullptr, &Settings::blinkSize, 8, 0},
      {"BPMeasure", 1001, &Settings::beatsPerMeasure, nullptr, 0, 1000},
      {"BPMeasure", -3, &Settings::beatsPerMeasure, nullptr, 0, 0},
      {"BPMeasure", 0, &Settings::beatsPerMeasure, nullptr, 0, 0},
      // The tempo is left to the tempo field, which clamps it like typed text.
      {"BPMinute", 5000, &Settings::bpm, nullptr, 0, 5000},
      {"BPMinute", -7, &Settings::bpm, nullptr, 0, -7},
      // Any style number is kept; the dialog applies it as Custom.
      {"Metronome Style", 7, &Settings::style, nullptr, 0, 7},
  };
  for (const Case& c : cases) {
    PutDword(c.name, c.stored);
    Settings read = ReadSettings(m_registry, m_key, Settings{});
    int actual = c.scalar ? read.*c.scalar : (read.*c.perVoice)[c.voice];
    EXPECT_EQ(actual, c.expected) << c.name << " stored as " << c.stored;
  }

  // The practice tools' numbers, each at both sides of its range; any switch value but 0 is on.
  struct PracticeCase {
    const char* name;
    int stored;
    int PracticeSettings::*number;
    int expected;
  };
  const PracticeCase practiceCases[] = {
      {"Trainer Step", 0, &PracticeSettings::trainerStep, 1},
      {"Trainer Step", 101, &PracticeSettings::trainerStep, 100},
      {"Trainer Every", -1, &PracticeSettings::trainerEvery, 1},
      {"Trainer Every", 65, &PracticeSettings::trainerEvery, 64},
      {"Trainer Target", 3, &PracticeSettings::trainerTarget, 4},
      {"Trainer Target", 1001, &PracticeSettings::trainerTarget, 1000},
      {"Mute Played", 0, &PracticeSettings::mutePlayed, 1},
      {"Mute Played", INT_MAX, &PracticeSettings::mutePlayed, 64},
      {"Mute Silent", INT_MIN, &PracticeSettings::muteSilent, 1},
      {"Mute Silent", 65, &PracticeSettings::muteSilent, 64},
  };
  for (const PracticeCase& c : practiceCases) {
    PutDword(c.name, c.stored);
    EXPECT_EQ(ReadSettings(m_registry, m_key, Settings{}).practice.*c.number, c.expected)
        << c.name << " stored as " << c.stored;
  }
  PutDword("Trainer", 7);
  PutDword("Mute", -1);
  EXPECT_TRUE(ReadSettings(m_registry, m_key, Settings{}).practice.trainer);
  EXPECT_TRUE(ReadSettings(m_registry, m_key, Settings{}).practice.mute);
}

TEST_F(StoredSettingsTest, ValuesLargerThanTheirBufferKeepTheDefault) {
  // 1001 characters and the zero do not fit the 1001-byte buffer.
  Put("Custom Measure", kRegSz, TextBytes(std::string(1001, '2') + '\0'));
  // Four bytes of zero would say "off", but "Blinking" is read through one byte.
  Put("Blinking", kRegDword, Bytes({0, 0, 0, 0}));
  // Eight bytes do not fit a DWORD.
  Put("BPMinute", kRegDword, Bytes({60, 0, 0, 0, 0, 0, 0, 0}));
  Settings read = ReadSettings(m_registry, m_key, Settings{});
  EXPECT_EQ(read.customMeasure, "31212012121");
  EXPECT_TRUE(read.blinking);
  EXPECT_EQ(read.bpm, 200);
}

TEST_F(StoredSettingsTest, ShortValuesFillTheLowBytesLikeTheRegistryDoes) {
  // Default 200 = 0x000000C8; one stored byte 0x78 replaces the low byte: 0x78 = 120.
  Put("BPMinute", kRegDword, Bytes({0x78}));
  // 4 = 0x00000004; two bytes 0x10 0x00 give 0x0010 = 16.
  Put("BPMeasure", kRegDword, Bytes({0x10, 0x00}));
  // A stored type does not matter: the bytes do.
  Put("Volume 1", kRegBinary, Bytes({100, 0, 0, 0}));
  // One-byte flag: any non-zero byte is on, zero is off.
  Put("Blinking", kRegDword, Bytes({0}));
  // A text stored without its zero ends where the stored bytes end.
  Put("Custom Measure", kRegSz, TextBytes("99"));
  Settings read = ReadSettings(m_registry, m_key, Settings{});
  EXPECT_EQ(read.bpm, 120);
  EXPECT_EQ(read.beatsPerMeasure, 16);
  EXPECT_EQ(read.volume[1], 100);
  EXPECT_FALSE(read.blinking);
  EXPECT_EQ(read.customMeasure, "99");

  Put("Blinking", kRegDword, Bytes({2}));
  EXPECT_TRUE(ReadSettings(m_registry, m_key, Settings{}).blinking);
}

TEST_F(StoredSettingsTest, WindowRectangleReadsOverTheCurrentOneInItsOwnOrder) {
  test::FaultyRegistry recorder(m_registry);
  ASSERT_EQ(WriteWindowRect(recorder, m_key, WindowRect{10, 20, 310, 520}), RegResult::kSuccess);
  ASSERT_EQ(recorder.writes.size(), 4u);
  EXPECT_EQ(recorder.writes[0].name, "WindowTop");
  EXPECT_EQ(recorder.writes[1].name, "WindowBottom");
  EXPECT_EQ(recorder.writes[2].name, "WindowLeft");
  EXPECT_EQ(recorder.writes[3].name, "WindowRight");
  EXPECT_EQ(ReadWindowRect(m_registry, m_key, WindowRect{1, 2, 3, 4}),
            (WindowRect{10, 20, 310, 520}));

  MemoryRegistry empty;
  Registry::Key key = 0;
  ASSERT_EQ(empty.CreateKey(Registry::kCurrentUser, SettingsKey, RegAccess::kRead, &key),
            RegResult::kSuccess);
  EXPECT_EQ(ReadWindowRect(empty, key, WindowRect{1, 2, 3, 4}), (WindowRect{1, 2, 3, 4}));

  // Any one of the four values, of any length, counts as a stored place.
  EXPECT_TRUE(WindowRectStored(m_registry, m_key));
  EXPECT_FALSE(WindowRectStored(empty, key));
  Registry::Key writable = 0;
  ASSERT_EQ(empty.OpenKey(Registry::kCurrentUser, SettingsKey, RegAccess::kWrite, &writable),
            RegResult::kSuccess);
  ASSERT_EQ(empty.SetValue(writable, kWindowRightValue, kRegDword, test::Bytes({7})),
            RegResult::kSuccess);
  EXPECT_TRUE(WindowRectStored(empty, key));
}

TEST(KeepOnScreen, PutsTheWholeWindowOnTheScreenItOverlapsMost) {
  const WindowRect primary{0, 0, 1920, 1080};
  const WindowRect right{1920, 0, 3840, 1080};
  const std::vector<WindowRect> one = {primary};
  const std::vector<WindowRect> two = {primary, right};
  struct Case {
    const char* what;
    const std::vector<WindowRect>* screens;
    WindowRect window;
    WindowRect expected;
  };
  // The windows are 300 × 500 unless said: on 1920 × 1080 the right edge goes no further than
  // x 1620 + 300 and the top no lower than y 580 + 500.
  const Case cases[] = {
      {"on screen", &one, {100, 100, 400, 600}, {100, 100, 400, 600}},
      {"filling the screen", &one, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
      {"one pixel past the right", &one, {1621, 100, 1921, 600}, {1620, 100, 1920, 600}},
      {"wholly right", &one, {2500, 100, 2800, 600}, {1620, 100, 1920, 600}},
      {"past the bottom", &one, {100, 900, 400, 1400}, {100, 580, 400, 1080}},
      {"title bar above the top", &one, {100, -20, 400, 480}, {100, 0, 400, 500}},
      {"wholly left", &one, {-400, 100, -100, 600}, {0, 100, 300, 600}},
      {"taller than the screen", &one, {100, -50, 400, 1200}, {100, 0, 400, 1080}},
      {"wider than the screen", &one, {-100, 100, 2000, 600}, {0, 100, 2100, 600}},
      {"on the second monitor", &two, {2000, 100, 2300, 600}, {2000, 100, 2300, 600}},
      {"mostly on the second", &two, {1800, 100, 2100, 600}, {1920, 100, 2220, 600}},
      {"mostly on the first", &two, {1700, 100, 2000, 600}, {1620, 100, 1920, 600}},
      {"beyond both: the primary", &two, {3900, 100, 4200, 600}, {1620, 100, 1920, 600}},
      {"no screens known", nullptr, {5000, 5000, 5300, 5500}, {5000, 5000, 5300, 5500}},
  };
  for (const Case& c : cases) {
    std::span<const WindowRect> screens;
    if (c.screens) screens = *c.screens;
    const WindowRect kept = KeepOnScreen(c.window, screens);
    EXPECT_EQ(kept, c.expected) << c.what;
    EXPECT_EQ(KeepOnScreen(kept, screens), kept) << c.what << ": not where it stays";
  }
  // The primary screen need not sit at the origin.
  const std::vector<WindowRect> shifted = {{-1920, 0, 0, 1080}};
  EXPECT_EQ(KeepOnScreen(WindowRect{100, 100, 400, 600}, shifted), (WindowRect{-300, 100, 0, 600}));
  // Absurd stored edges do not overflow: the width 2^32 - 1 saturates, the height -1 is none.
  EXPECT_EQ(KeepOnScreen(WindowRect{INT_MIN, 0, INT_MAX, -1}, one), (WindowRect{0, 0, INT_MAX, 0}));
}

TEST(StyleToApply, ZeroAndOneAreThemselvesAnythingElseIsCustom) {
  EXPECT_EQ(StyleToApply(0), MetronomeStyle::Straight);
  EXPECT_EQ(StyleToApply(1), MetronomeStyle::SimpleMeasure);
  EXPECT_EQ(StyleToApply(2), MetronomeStyle::Custom);
  EXPECT_EQ(StyleToApply(7), MetronomeStyle::Custom);
  EXPECT_EQ(StyleToApply(-1), MetronomeStyle::Custom);
}

TEST(AtoiPrefix, ReadsLeadingDigitsLikeAtoi) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},
      {"12", 12},
      {"  7x", 7},
      {"-5", -5},
      {"+3", 3},
      {"abc", 0},
      {"1,000", 1},
      {"00000004", 4},
      {"- 5", 0},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(AtoiPrefix(text), expected) << text;
}

TEST(PresetNames, CompareIgnoringCase) {
  EXPECT_TRUE(PresetNameLess("alpha", "Beta"));
  EXPECT_TRUE(PresetNameLess("Beta", "beta two"));
  EXPECT_FALSE(PresetNameLess("BETA", "beta"));
  EXPECT_TRUE(PresetNameEquals("Fast Swing", "FAST swing"));
  EXPECT_FALSE(PresetNameEquals("Fast", "Fast "));
}

}  // namespace
}  // namespace ticktavo
