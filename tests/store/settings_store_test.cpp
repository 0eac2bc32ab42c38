// The dialog's settings and preset commands, against a view that records what the dialog
// would be told to do, in order.

#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "recording_view.h"
#include "store/memory_registry.h"
#ifndef _WIN32
#include "store/sqlite_registry.h"
#endif
#include "store_test_support.h"

namespace ticktavo {
namespace {

using test::RecordingView;

class SettingsStoreTest : public ::testing::Test {
 protected:
  // The DWORD stored under key\name, if any.
  std::optional<int> Stored(std::optional<std::string_view> preset, std::string_view name) {
    OpenKey key(m_registry);
    std::array<std::byte, 4> bytes{};
    std::size_t size = 0;
    if (key.Open(Registry::kCurrentUser, PresetKeyPath(preset), RegAccess::kRead) !=
            RegResult::kSuccess ||
        m_registry.QueryValue(key.Get(), name, nullptr, bytes, &size) != RegResult::kSuccess) {
      return std::nullopt;
    }
    return ReadDwordBytes(bytes);
  }
  static int ReadDwordBytes(const std::array<std::byte, 4>& b) {
    return static_cast<int>(std::to_integer<unsigned>(b[0]) | std::to_integer<unsigned>(b[1]) << 8 |
                            std::to_integer<unsigned>(b[2]) << 16 |
                            std::to_integer<unsigned>(b[3]) << 24);
  }
  bool KeyExists(std::optional<std::string_view> preset) {
    return OpenKey(m_registry)
               .Open(Registry::kCurrentUser, PresetKeyPath(preset), RegAccess::kRead) ==
           RegResult::kSuccess;
  }
  void Store(std::optional<std::string_view> preset, std::string_view name, int value) {
    OpenKey key(m_registry);
    ASSERT_EQ(key.Create(Registry::kCurrentUser, PresetKeyPath(preset), RegAccess::kWrite),
              RegResult::kSuccess);
    ASSERT_EQ(WriteDword(m_registry, key.Get(), name, value), RegResult::kSuccess);
  }
  void MakeKey(std::optional<std::string_view> preset) {
    ASSERT_EQ(
        OpenKey(m_registry).Create(Registry::kCurrentUser, PresetKeyPath(preset), RegAccess::kRead),
        RegResult::kSuccess);
  }
  // The listing of the main key's subkeys.
  std::vector<std::string> PresetKeys() {
    std::vector<std::string> names;
    OpenKey key(m_registry);
    std::string name;
    if (key.Open(Registry::kCurrentUser, SettingsKey, RegAccess::kRead) != RegResult::kSuccess) {
      return names;
    }
    for (std::uint32_t i = 0; m_registry.EnumKey(key.Get(), i, &name) == RegResult::kSuccess; ++i) {
      names.push_back(name);
    }
    return names;
  }

  MemoryRegistry m_registry;
  RecordingView m_view;
  SettingsStore m_store{m_registry, m_view};
};

// The load order for a given set of values, written out by hand from the order of the
// steps: tempo (text, then focus loss), beats, each voice's instrument/volume/size, custom
// text, style, blink flag.
std::vector<std::string> MusicalSteps(const std::string& bpm, const std::string& beats,
                                      const std::array<int, 9>& instrument,
                                      const std::array<int, 9>& volume,
                                      const std::array<int, 9>& size, const std::string& text,
                                      int style, bool blinking) {
  std::vector<std::string> steps = {"SetTempoText " + bpm, "TempoEditKillFocus",
                                    "OnSettingsChanged", "SetBeatsPerMeasureText " + beats};
  for (std::size_t n = 0; n < 9; ++n) {
    steps.push_back("ShowInstrument " + std::to_string(n) + " " + std::to_string(instrument[n]));
    steps.push_back("ShowVolume " + std::to_string(n) + " " + std::to_string(volume[n]));
    steps.push_back("ShowBlinkSize " + std::to_string(n) + " " + std::to_string(size[n]));
  }
  steps.push_back("SetCustomMeasureText " + text);
  steps.push_back("ApplyStyle " + std::to_string(style));
  steps.push_back("OnSettingsChanged");
  steps.push_back(std::string("ShowBlinking ") + (blinking ? "1" : "0"));
  steps.push_back("ShowPractice");
  return steps;
}

// What a first start applies: every default, then the list steps. No presets; the missing
// position reads as 0, which the empty list does not have: nothing selected, yet Delete
// enabled and Save disabled. With no place stored the window keeps its place.
std::vector<std::string> FirstStartSteps() {
  std::vector<std::string> steps = MusicalSteps(
      "200", "4", {2, 1, 42, 0, 0, 0, 0, 0, 0}, {127, 127, 127, 127, 127, 127, 127, 127, 127},
      {8, 8, 8, 8, 8, 8, 8, 8, 8}, "31212012121", 0, true);
  for (const char* step : {"SelectPreset -1", "EnableDelete 1", "EnableSave 0", "CaptureLayout"}) {
    steps.push_back(step);
  }
  return steps;
}

TEST_F(SettingsStoreTest, FirstStartCreatesTheKeyAndAppliesTheDefaultsInOrder) {
  m_store.LoadSettings(std::nullopt);

  EXPECT_EQ(m_view.calls, FirstStartSteps());
  EXPECT_TRUE(KeyExists(std::nullopt));
  EXPECT_EQ(Stored(std::nullopt, "BPMinute"), std::nullopt);  // created empty
}

TEST_F(SettingsStoreTest, SavedSettingsComeBackAtTheNextStart) {
  m_view.bpm = 96;
  m_view.beatsText = "7";
  m_view.style = 1;
  m_view.instrument = {46, 45, 44, 43, 42, 41, 40, 39, 38};
  m_view.volume = {0, 10, 20, 30, 40, 50, 60, 70, 127};
  m_view.blinkSize = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  m_view.customText = "1(23)0";
  m_view.blinking = false;
  m_view.window = {40, 50, 340, 650};
  m_view.rows = 6;
  m_view.presets = {"Alpha", "Beta"};
  m_view.selected = 1;
  MakeKey("Alpha");
  MakeKey("Beta");
  ASSERT_TRUE(m_store.SaveSettings(std::nullopt));

  RecordingView next;
  SettingsStore nextStore(m_registry, next);
  nextStore.LoadSettings(std::nullopt);
  std::vector<std::string> expected = MusicalSteps("96", "7", {46, 45, 44, 43, 42, 41, 40, 39, 38},
                                                   {0, 10, 20, 30, 40, 50, 60, 70, 127},
                                                   {0, 1, 2, 3, 4, 5, 6, 7, 8}, "1(23)0", 1, false);
  for (const char* step :
       {"InsertPreset 0 Alpha", "InsertPreset 1 Beta", "SelectPreset 1", "EnableDelete 1",
        "EnableSave 0", "CaptureLayout", "MoveWindowTo 40 50 340 650 rows 6"}) {
    expected.push_back(step);
  }
  EXPECT_EQ(next.calls, expected);
  EXPECT_EQ(next.nameText, "Beta");
}

TEST_F(SettingsStoreTest, BeatsFieldIsStoredAsTheNumberOfItsFirstEightCharacters) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12}, {"", 0}, {"123456789", 12345678}, {"00000004", 4}, {"1,000", 1}};
  for (const auto& [text, expected] : cases) {
    m_view.beatsText = text;
    ASSERT_TRUE(m_store.SaveSettings(std::nullopt));
    EXPECT_EQ(Stored(std::nullopt, "BPMeasure"), expected) << text;
  }
}

TEST_F(SettingsStoreTest, StoredPresetPositionSetsSelectionAndButtons) {
  struct Case {
    std::optional<int> stored;
    int selected;
    bool deleteEnabled;
    bool saveEnabled;
  };
  // Two presets listed; the cases run in turn over one main key, the missing value first.
  // -1: nothing, Save on. A position the list has: that item. Missing
  // (reads 0) or one the list lacks: that item or none, but Delete on and Save off.
  const Case cases[] = {
      {std::nullopt, 0, true, false}, {-1, -1, false, true}, {1, 1, true, false},
      {5, -1, true, false},           {-2, -1, true, false},
  };
  MakeKey("One");
  MakeKey("Two");
  for (const Case& c : cases) {
    OpenKey key(m_registry);
    ASSERT_EQ(key.Create(Registry::kCurrentUser, SettingsKey, RegAccess::kWrite),
              RegResult::kSuccess);
    if (c.stored) WriteDword(m_registry, key.Get(), "Preset", *c.stored);

    RecordingView view;
    SettingsStore store(m_registry, view);
    store.LoadSettings(std::nullopt);
    EXPECT_EQ(view.selected, c.selected) << c.stored.value_or(999);
    EXPECT_EQ(view.deleteEnabled, c.deleteEnabled) << c.stored.value_or(999);
    EXPECT_EQ(view.saveEnabled, c.saveEnabled) << c.stored.value_or(999);
  }
}

TEST_F(SettingsStoreTest, PresetListIsFilledInSortedOrder) {
  for (const char* name : {"gamma", "Alpha", "beta", "Zulu\\Deep"}) MakeKey(name);
  m_store.LoadSettings(std::nullopt);
  EXPECT_EQ(m_view.presets, (std::vector<std::string>{"Alpha", "beta", "gamma", "Zulu"}));
}

TEST_F(SettingsStoreTest, OutOfRangeStoredValuesReachTheDialogHeldToTheirRanges) {
  Store(std::nullopt, "Sound 2", 47);       // voice 3's default is 42
  Store(std::nullopt, "Volume 0", 500);     // at most 127
  Store(std::nullopt, "Blinker 8", -3);     // at least 0
  Store(std::nullopt, "BPMeasure", 99999);  // at most 1000
  Store(std::nullopt, "BPMinute", 5000);    // left to the tempo field's own clamp
  Store(std::nullopt, "Metronome Style", 7);
  m_store.LoadSettings(std::nullopt);
  EXPECT_TRUE(m_view.Called("ShowInstrument 2 42"));
  EXPECT_TRUE(m_view.Called("ShowVolume 0 127"));
  EXPECT_TRUE(m_view.Called("ShowBlinkSize 8 0"));
  EXPECT_TRUE(m_view.Called("SetBeatsPerMeasureText 1000"));
  EXPECT_TRUE(m_view.Called("SetTempoText 5000"));
  EXPECT_TRUE(m_view.Called("ApplyStyle 2"));  // 7 loads as Custom
}

TEST_F(SettingsStoreTest, WindowOffTheScreensIsBroughtWhollyOnOnLoadAndOnSave) {
  Store(std::nullopt, "WindowLeft", 2500);
  Store(std::nullopt, "WindowRight", 2800);
  m_store.LoadSettings(std::nullopt);
  // Top and bottom were not stored: the current 20..520 stays, so height 500 and width 300,
  // moved left until its right edge is the screen's.
  EXPECT_EQ(m_view.calls.back(), "MoveWindowTo 1620 20 1920 520");

  m_view.window = {-900, 100, -600, 400};
  ASSERT_TRUE(m_store.SaveSettings(std::nullopt));
  EXPECT_EQ(Stored(std::nullopt, "WindowLeft"), 0);
  EXPECT_EQ(Stored(std::nullopt, "WindowTop"), 100);
  EXPECT_EQ(Stored(std::nullopt, "WindowRight"), 300);
  EXPECT_EQ(Stored(std::nullopt, "WindowBottom"), 400);
  EXPECT_EQ(Stored(std::nullopt, "WindowRows"), std::nullopt);  // no layout, no rows
}

TEST_F(SettingsStoreTest, APresetWithoutBlinkerSizesKeepsTheSizesInForce) {
  Store("Plain", "BPMinute", 80);
  Store(std::nullopt, "BPMinute", 90);
  m_view.blinkSize = {1, 2, 3, 4, 5, 6, 7, 8, 0};
  m_view.presets = {"Plain"};
  m_view.UserSelects(0);
  m_store.OnPresetSelected();
  EXPECT_EQ(m_view.blinkSize, (std::array<int, 9>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
  EXPECT_EQ(m_view.bpm, 80);

  // The main key without them gives 8.
  m_store.LoadSettings(std::nullopt);
  EXPECT_EQ(m_view.blinkSize, (std::array<int, 9>{8, 8, 8, 8, 8, 8, 8, 8, 8}));
}

TEST_F(SettingsStoreTest, ChoosingAPresetLoadsItAndLeavesWindowListAndMainKeyAlone) {
  Store("Slow", "BPMinute", 60);
  Store(std::nullopt, "Preset", 0);
  m_view.presets = {"Fast", "Slow"};
  m_view.UserSelects(1);
  m_store.OnPresetSelected();

  std::vector<std::string> expected = MusicalSteps(
      "60", "4", {2, 1, 42, 0, 0, 0, 0, 0, 0}, {127, 127, 127, 127, 127, 127, 127, 127, 127},
      {8, 8, 8, 8, 8, 8, 8, 8, 8}, "31212012121", 0, true);
  for (const char* step : {"EnableSave 0", "EnableDelete 1", "SelectPreset 1"}) {
    expected.push_back(step);
  }
  EXPECT_EQ(m_view.calls, expected);
  EXPECT_EQ(m_view.nameText, "Slow");
  EXPECT_EQ(Stored(std::nullopt, "Preset"), 0);
  EXPECT_EQ(Stored(std::nullopt, "BPMinute"), std::nullopt);

  // A selection change with nothing selected is ignored.
  m_view.calls.clear();
  m_view.selected = -1;
  m_store.OnPresetSelected();
  EXPECT_EQ(m_view.calls, std::vector<std::string>{});
}

TEST_F(SettingsStoreTest, ChoosingAPresetThatWentAwayCreatesItEmptyWithDefaults) {
  m_view.presets = {"Gone"};
  m_view.bpm = 133;
  m_view.UserSelects(0);
  m_store.OnPresetSelected();
  EXPECT_TRUE(KeyExists("Gone"));
  EXPECT_EQ(m_view.bpm, 200);
}

#ifndef _WIN32  // the settings file is the Linux store
// A settings file the program cannot use at all (here its folder would have to be made
// inside a plain file): the main settings still come up as at a first start, so the window
// never shows blank fields over values it is really using. A preset changes nothing.
TEST_F(SettingsStoreTest, SettingsThatCannotBeOpenedGiveTheFirstStartDefaults) {
  test::TempFolder folder;
  std::ostringstream errors;
  auto unusable = test::OpenUnusableSettings(folder, errors);
  ASSERT_FALSE(unusable->IsOpen());
  SettingsStore store(*unusable, m_view);
  m_view.bpm = 60;
  m_view.beatsText = "";
  m_view.volume.fill(0);
  m_view.blinkSize.fill(0);
  m_view.customText = "";
  m_view.blinking = false;
  m_view.presets = {"Kept"};

  store.LoadSettings("Kept");
  EXPECT_EQ(m_view.calls, std::vector<std::string>{});

  m_view.presets.clear();
  store.LoadSettings(std::nullopt);
  EXPECT_EQ(m_view.calls, FirstStartSteps());
}
#endif

TEST_F(SettingsStoreTest, SavingANewPresetInsertsItSortedAndSelectsIt) {
  m_view.presets = {"Fast", "Slow"};
  m_view.nameText = "medium";
  m_view.bpm = 123;
  m_store.OnSavePreset();
  EXPECT_EQ(m_view.calls, (std::vector<std::string>{"InsertPreset 1 medium", "SelectPreset 1",
                                                    "EnableSave 0", "EnableDelete 1"}));
  EXPECT_EQ(Stored("medium", "BPMinute"), 123);
  EXPECT_EQ(Stored("medium", "Blinker 0"), 8);
  // Neither the selection nor the window go into a preset, nor anything into the main key.
  EXPECT_EQ(Stored("medium", "Preset"), std::nullopt);
  EXPECT_EQ(Stored("medium", "WindowTop"), std::nullopt);
  EXPECT_EQ(Stored(std::nullopt, "BPMinute"), std::nullopt);
}

TEST_F(SettingsStoreTest, SavingOverAnExistingPresetAsksFirst) {
  Store("Fast", "BPMinute", 180);
  m_view.presets = {"Fast", "Slow"};
  m_view.bpm = 190;
  m_view.nameText = "FAST";  // names ignore case

  m_view.answerYes = false;
  m_store.OnSavePreset();
  EXPECT_EQ(m_view.calls,
            std::vector<std::string>{"AskYesNo Preset Already Exists | You are about to save over "
                                     "the current preset \"FAST\".  Continue?"});
  EXPECT_EQ(Stored("Fast", "BPMinute"), 180);
  EXPECT_EQ(m_view.presets, (std::vector<std::string>{"Fast", "Slow"}));

  m_view.calls.clear();
  m_view.answerYes = true;
  m_store.OnSavePreset();
  ASSERT_EQ(m_view.calls.size(), 4u);
  EXPECT_EQ(m_view.calls[1], "SelectPreset 0");
  EXPECT_EQ(m_view.calls[2], "EnableSave 0");
  EXPECT_EQ(m_view.calls[3], "EnableDelete 1");
  EXPECT_EQ(Stored("Fast", "BPMinute"), 190);
  EXPECT_EQ(PresetKeys(), std::vector<std::string>{"Fast"});
}

TEST_F(SettingsStoreTest, ANameTheStoreRefusesShowsTheRegistryError) {
  m_view.presets = {"Fast"};
  m_view.selected = 0;
  m_view.saveEnabled = true;
  for (const char* name : {"Trailing\\", "a\\\\b", "\\lead"}) {
    m_view.calls.clear();
    m_view.nameText = name;
    m_store.OnSavePreset();
    EXPECT_EQ(m_view.calls,
              std::vector<std::string>{
                  "ShowError Error Opening Registry Key | Threre was an error opening the "
                  "registry key.  Please limit preset names to letters and numbers."})
        << name;
  }
  EXPECT_EQ(m_view.presets, std::vector<std::string>{"Fast"});
  EXPECT_EQ(m_view.selected, 0);
  EXPECT_TRUE(m_view.saveEnabled);
}

TEST_F(SettingsStoreTest, SaveAndDeleteWithAnEmptyNameDoNothing) {
  Store(std::nullopt, "BPMinute", 111);
  m_view.nameText = "";
  m_store.OnSavePreset();
  m_store.OnDeletePreset();
  EXPECT_EQ(m_view.calls, std::vector<std::string>{});
  EXPECT_EQ(Stored(std::nullopt, "BPMinute"), 111);
  EXPECT_EQ(Stored(std::nullopt, "Sound 0"), std::nullopt);
}

TEST_F(SettingsStoreTest, DeleteRemovesTheItemOfThatNameNotTheSelection) {
  MakeKey("Alpha");
  MakeKey("Beta");
  m_view.presets = {"Alpha", "Beta"};
  m_view.selected = 0;
  m_view.nameText = "BETA";
  m_store.OnDeletePreset();
  EXPECT_EQ(m_view.calls, (std::vector<std::string>{"RemovePreset 1", "OnSettingsChanged"}));
  EXPECT_EQ(m_view.presets, std::vector<std::string>{"Alpha"});
  EXPECT_EQ(PresetKeys(), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(m_view.nameText, "");
  EXPECT_FALSE(m_view.deleteEnabled);
}

TEST_F(SettingsStoreTest, DeleteKeepsTheItemWhenItsKeySurvives) {
  MakeKey("Songs\\Waltz");
  m_view.presets = {"Songs"};
  m_view.UserSelects(0);
  m_store.OnDeletePreset();
  // The key has a preset below it and cannot go; the list keeps showing it, as the next
  // start will.
  EXPECT_EQ(m_view.calls, std::vector<std::string>{"OnSettingsChanged"});
  EXPECT_EQ(m_view.presets, std::vector<std::string>{"Songs"});
  EXPECT_EQ(PresetKeys(), std::vector<std::string>{"Songs"});
  EXPECT_TRUE(KeyExists(std::nullopt));
}

TEST_F(SettingsStoreTest, TypingANameEnablesSaveExactlyWhenItIsNotEmpty) {
  m_view.nameText = "x";
  m_store.OnPresetTextChanged();
  m_view.nameText = "";
  m_store.OnPresetTextChanged();
  EXPECT_EQ(m_view.calls, (std::vector<std::string>{"EnableSave 1", "MakeSaveDefault",
                                                    "EnableSave 0", "MakeSaveDefault"}));
}

TEST_F(SettingsStoreTest, AFailedWriteUndoesTheWholeSave) {
  Store(std::nullopt, "BPMinute", 100);
  Store(std::nullopt, "Sound 0", 5);
  test::FaultyRegistry faulty(m_registry);
  faulty.failAt = 10;  // somewhere in the voices
  SettingsStore store(faulty, m_view);
  m_view.bpm = 150;
  m_view.instrument[0] = 9;
  EXPECT_FALSE(store.SaveSettings(std::nullopt));
  EXPECT_EQ(Stored(std::nullopt, "BPMinute"), 100);
  EXPECT_EQ(Stored(std::nullopt, "Sound 0"), 5);
  EXPECT_EQ(Stored(std::nullopt, "Custom Measure"), std::nullopt);
}

}  // namespace
}  // namespace ticktavo
