// The stored settings and the presets through the dialog: what a load puts into the controls,
// the preset commands with their questions and errors, the window's place, and a restart over
// the real settings file.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "dialog_rig.h"
#include "res/resource_ids.h"
#include "store/settings_values.h"
#include "store/store_test_support.h"
#ifdef _WIN32
#include "store/windows_registry.h"
#include "windows_registry_scratch.h"
#else
#include "store/sqlite_registry.h"
#endif

namespace ticktavo::testing {
namespace {

// GM percussion names of the instruments by note number (instrument index + 35): 35
// Acoustic Bass Drum, 36 Bass Drum 1, 37 Side Stick, 77 Low Wood Block, 81 Open Triangle.
constexpr const char* kAcousticBassDrum = "Acoustic Bass Drum";

std::string Shown(FakeControls& controls, int comboId) {
  return controls.ItemText(comboId, controls.Selection(comboId));
}

using SettingsLoadTest = DialogTest;

TEST_F(SettingsLoadTest, FirstStartShowsTheDefaultsAndCreatesTheEmptyMainKey) {
  Open();
  EXPECT_EQ(At(kIdTempoEdit).text, "200");
  EXPECT_EQ(Dialog().Bpm(), 200);
  EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(200));
  EXPECT_EQ(At(kIdBeatsEdit).text, "4");
  EXPECT_TRUE(At(kIdStraight).checked);
  EXPECT_FALSE(At(kIdSimpleMeasure).checked);
  EXPECT_FALSE(At(kIdCustom).checked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Straight);
  EXPECT_FALSE(At(kIdBeatsEdit).enabled);
  EXPECT_FALSE(At(kIdCustomMeasure).enabled);
  // Voices 1..3 default to instruments 2, 1 and 42 (notes 37, 36, 77), the rest to 0.
  EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[0]), "Side Stick");
  EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[1]), "Bass Drum 1");
  EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[2]), "Low Wood Block");
  for (int n = 0; n < kVoiceCount; ++n) {
    if (n >= 3) {
      EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[n]), kAcousticBassDrum) << n;
    }
    EXPECT_EQ(At(kIdVoiceVolume[n]).position, 127) << n;
    EXPECT_EQ(At(kIdVoiceBlinkSize[n]).position, 8) << n;
    EXPECT_EQ(At(kIdVoiceBlinker[n]).frame, 8) << n;
  }
  EXPECT_EQ(At(kIdCustomMeasure).text, "31212012121");
  EXPECT_TRUE(At(kIdBlink).checked);
  EXPECT_TRUE(Dialog().Blinking());
  EXPECT_TRUE(Dialog().Player().BlinkingEnabled());
  EXPECT_TRUE(PresetItems().empty());
  EXPECT_EQ(At(kIdPresetCombo).text, "");
  // The missing "Preset" reads as 0, a position the empty list does not have.
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_EQ(At(kIdPlay).text, "&Play");
  EXPECT_EQ(At(kIdMainBlinker).frame, 0);
  // Loading created the main key and wrote nothing into it; the window, 289 × 466 with its
  // frame, opens in the middle of the 1920 × 1080 screen.
  EXPECT_TRUE(PresetExists(""));
  EXPECT_EQ(StoredDword("", kBpMinuteValue), -12345);
  EXPECT_EQ(m_host.place, (WindowRect{815, 307, 815 + 289, 307 + 466}));
  EXPECT_TRUE(Dialog().LayoutReady());
}

// One stored main key and what the window must show for it.
struct StoredCase {
  const char* name;
  std::vector<std::pair<std::string, int>> values;
  std::function<void(MetronomeDialog&, FakeControls&)> check;
};

// How the case reads in test listings: its name.
void PrintTo(const StoredCase& c, std::ostream* os) {
  *os << c.name;
}

class StoredValueTest : public DialogTest, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValueTest, LoadsIntoTheControls) {
  StoreDwords("", GetParam().values);
  Open();
  GetParam().check(Dialog(), m_controls);
}

// Slider positions are 1000 × log2(tempo + 128) rounded: 4 → 7044, 1000 → 10140.
INSTANTIATE_TEST_SUITE_P(
    Stored, StoredValueTest,
    ::testing::Values(StoredCase{"TempoAboveTheRangeIsClamped",
                                 {{"BPMinute", 5000}},
                                 [](MetronomeDialog& d, FakeControls& c) {
                                   EXPECT_EQ(d.Bpm(), 1000);
                                   EXPECT_EQ(c.At(kIdTempoEdit).text, "1000");
                                   EXPECT_EQ(c.At(kIdTempoSlider).position, 10140);
                                 }},
                      StoredCase{"TempoBelowTheRangeIsClamped",
                                 {{"BPMinute", 2}},
                                 [](MetronomeDialog& d, FakeControls& c) {
                                   EXPECT_EQ(d.Bpm(), 4);
                                   EXPECT_EQ(c.At(kIdTempoEdit).text, "4");
                                   EXPECT_EQ(c.At(kIdTempoSlider).position, 7044);
                                 }},
                      // Compared unsigned, a negative tempo lies above the top.
                      StoredCase{"NegativeTempoGivesTheTop",
                                 {{"BPMinute", -5}},
                                 [](MetronomeDialog&, FakeControls& c) {
                                   EXPECT_EQ(c.At(kIdTempoEdit).text, "1000");
                                 }},
                      StoredCase{"StyleSevenLoadsAsCustom",
                                 {{"Metronome Style", 7}},
                                 [](MetronomeDialog& d, FakeControls& c) {
                                   EXPECT_TRUE(c.At(kIdCustom).checked);
                                   EXPECT_FALSE(c.At(kIdStraight).checked);
                                   EXPECT_EQ(d.CurrentStyle(), MetronomeStyle::Custom);
                                   EXPECT_TRUE(c.At(kIdCustomMeasure).enabled);
                                   EXPECT_FALSE(c.At(kIdBeatsEdit).enabled);
                                 }},
                      StoredCase{"SimpleMeasureWithItsLength",
                                 {{"Metronome Style", 1}, {"BPMeasure", 7}},
                                 [](MetronomeDialog& d, FakeControls& c) {
                                   EXPECT_TRUE(c.At(kIdSimpleMeasure).checked);
                                   EXPECT_EQ(c.At(kIdBeatsEdit).text, "7");
                                   EXPECT_TRUE(c.At(kIdBeatsEdit).enabled);
                                   EXPECT_EQ(d.GetSequencer().GetMeasure().BeatsPerMeasure(), 7);
                                 }},
                      // 46 is the last instrument (note 81); 47 and 99 do not exist and give the
                      // voice's default: voice 1's is Side Stick, voice 5's Acoustic Bass Drum.
                      StoredCase{
                          "InstrumentsOutsideTheTableGiveTheVoiceDefault",
                          {{"Sound 0", 47}, {"Sound 1", 46}, {"Sound 4", 99}, {"Sound 5", -1}},
                          [](MetronomeDialog& d, FakeControls& c) {
                            EXPECT_EQ(Shown(c, kIdVoiceInstrument[0]), "Side Stick");
                            EXPECT_EQ(Shown(c, kIdVoiceInstrument[1]), "Open Triangle");
                            EXPECT_EQ(Shown(c, kIdVoiceInstrument[4]), kAcousticBassDrum);
                            EXPECT_EQ(Shown(c, kIdVoiceInstrument[5]), kAcousticBassDrum);
                            EXPECT_EQ(d.Voices().m_instrument[0], 2);
                            EXPECT_EQ(d.Voices().m_instrument[4], 0);
                          }},
                      StoredCase{"VolumesAndBlinkerSizesAreHeldToTheirRanges",
                                 {{"Volume 2", 300},
                                  {"Volume 3", 0},
                                  {"Blinker 5", -3},
                                  {"Blinker 6", 9},
                                  {"Blinker 7", 5}},
                                 [](MetronomeDialog& d, FakeControls& c) {
                                   EXPECT_EQ(c.At(kIdVoiceVolume[2]).position, 127);
                                   EXPECT_EQ(d.Voices().m_volume[2], 127);
                                   EXPECT_EQ(c.At(kIdVoiceVolume[3]).position, 0);
                                   EXPECT_EQ(d.Voices().m_blinkSize[5], 0);
                                   EXPECT_EQ(c.At(kIdVoiceBlinker[5]).frame, 0);
                                   EXPECT_EQ(d.Voices().m_blinkSize[6], 8);
                                   EXPECT_EQ(c.At(kIdVoiceBlinkSize[7]).position, 5);
                                   EXPECT_EQ(c.At(kIdVoiceBlinker[7]).frame, 5);
                                 }},
                      // The selection is applied after every field handler has cleared it.
                      StoredCase{"StoredSelectionSurvivesTheFieldHandlers",
                                 {{"Preset", -1}},
                                 [](MetronomeDialog&, FakeControls& c) {
                                   EXPECT_EQ(c.At(kIdPresetCombo).selection, -1);
                                   EXPECT_FALSE(c.At(kIdDeletePreset).enabled);
                                   EXPECT_TRUE(c.At(kIdSavePreset).enabled);
                                 }}),
    [](const ::testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.name); });

#ifndef _WIN32
// A settings file the program cannot use (its folder would have to be made inside a plain
// file): the window still shows the first start's defaults and can fold.
TEST_F(SettingsLoadTest, AnUnusableSettingsFileStillShowsTheDefaults) {
  test::TempFolder folder;
  std::ostringstream errors;
  auto unusable = test::OpenUnusableSettings(folder, errors);
  ASSERT_FALSE(unusable->IsOpen());
  m_registry = unusable.get();
  Open();
  EXPECT_EQ(At(kIdTempoEdit).text, "200");
  EXPECT_TRUE(At(kIdStraight).checked);
  EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[0]), "Side Stick");
  EXPECT_EQ(At(kIdVoiceBlinker[8]).frame, 8);
  EXPECT_EQ(At(kIdCustomMeasure).text, "31212012121");
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_TRUE(Dialog().LayoutReady());
  Close();  // the save at close fails quietly
  EXPECT_TRUE(m_host.boxes.empty());
  m_dialog.reset();
}

#endif

TEST_F(SettingsLoadTest, OneByteBlinkingFromAnEarlierRunIsReadBack) {
  OpenKey key(m_memory);
  ASSERT_EQ(key.Create(Registry::kCurrentUser, SettingsKey, RegAccess::kWrite),
            RegResult::kSuccess);
  const std::byte off[1] = {std::byte{0}};
  ASSERT_EQ(m_memory.SetValue(key.Get(), kBlinkingValue, kRegDword, off), RegResult::kSuccess);
  Open();
  EXPECT_FALSE(At(kIdBlink).checked);
  EXPECT_FALSE(Dialog().Player().BlinkingEnabled());
}

TEST_F(SettingsLoadTest, StoredPresetsAreListedSortedWithTheStoredOneSelected) {
  StorePreset("gamma");
  StorePreset("Alpha");
  StorePreset("beta");
  StoreDwords("", {{"Preset", 1}});
  Open();
  EXPECT_EQ(PresetItems(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  EXPECT_EQ(At(kIdPresetCombo).selection, 1);
  EXPECT_EQ(At(kIdPresetCombo).text, "beta");
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  EXPECT_FALSE(At(kIdSavePreset).enabled);
}

// --- The preset commands ---

using PresetCommandTest = DialogTest;

TEST_F(PresetCommandTest, TypingANameEnablesSaveExactlyWhileItIsNotEmptyAndKeepsTheSelection) {
  StorePreset("Alpha");
  StorePreset("Beta");
  Open();
  Choose(kIdPresetCombo, 1);
  ASSERT_FALSE(At(kIdSavePreset).enabled);
  Type(kIdPresetCombo, "Other");
  EXPECT_TRUE(At(kIdSavePreset).enabled);
  EXPECT_EQ(m_controls.defaultButton, kIdSavePreset);
  // Editing the name changes Save only: the chosen preset stays selected (and is the
  // position stored at close) and Delete keeps its state.
  EXPECT_EQ(At(kIdPresetCombo).selection, 1);
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  Type(kIdPresetCombo, "");
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  // A changed setting takes the default look away again.
  Dialog().OnAcceleratorCommand(kIdCustom);
  EXPECT_EQ(m_controls.defaultButton, 0);
  Close();
  EXPECT_EQ(StoredDword("", kPresetValue), -1);
}

TEST_F(PresetCommandTest, SavingANewNameInsertsItInSortedPlaceAndSelectsIt) {
  StorePreset("alpha");
  StorePreset("Gamma");
  Open();
  Type(kIdPresetCombo, "Beta");
  Click(kIdSavePreset);
  EXPECT_TRUE(m_host.boxes.empty());
  EXPECT_EQ(PresetItems(), (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(At(kIdPresetCombo).selection, 1);
  EXPECT_EQ(At(kIdPresetCombo).text, "Beta");
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 200);
  // A preset holds no selection and no window place; the main key waits for the close.
  EXPECT_EQ(StoredDword("Beta", kPresetValue), -12345);
  EXPECT_EQ(StoredDword("Beta", kWindowLeftValue), -12345);
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
}

class OverwriteTest : public DialogTest {
 protected:
  // A preset "Beta" stored at 100 bpm; the window set to 150 and "beta" typed as the name.
  void SetUp() override {
    StoreDwords("Beta", {{"BPMinute", 100}});
    StoreDwords("", {{"Preset", -1}});
    Open();
    Type(kIdTempoEdit, "150");
    Type(kIdPresetCombo, "beta");
    m_deleteWasEnabled = At(kIdDeletePreset).enabled;
  }
  bool m_deleteWasEnabled = false;
};

TEST_F(OverwriteTest, NoLeavesThePresetTheListAndTheButtons) {
  m_host.answers = {MessageResult::kNo};
  Click(kIdSavePreset);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Preset Already Exists");
  EXPECT_EQ(m_host.boxes[0].text,
            "You are about to save over the current preset \"beta\".  Continue?");
  EXPECT_EQ(m_host.boxes[0].icon, MessageIcon::kQuestion);
  EXPECT_EQ(m_host.boxes[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(m_host.boxes[0].owned);
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 100);
  EXPECT_EQ(PresetItems(), std::vector<std::string>{"Beta"});
  EXPECT_EQ(At(kIdPresetCombo).text, "beta");
  EXPECT_TRUE(At(kIdSavePreset).enabled);
  EXPECT_EQ(At(kIdDeletePreset).enabled, m_deleteWasEnabled);
}

TEST_F(OverwriteTest, YesWritesThePresetAndSelectsItsItem) {
  m_host.answers = {MessageResult::kYes};
  Click(kIdSavePreset);
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 150);
  EXPECT_EQ(PresetItems(), std::vector<std::string>{"Beta"});  // not listed twice
  EXPECT_EQ(At(kIdPresetCombo).selection, 0);
  EXPECT_EQ(At(kIdPresetCombo).text, "Beta");
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
}

TEST_F(PresetCommandTest, DeleteRemovesTheNamedPresetWithoutAsking) {
  StorePreset("Alpha");
  StorePreset("Gamma");
  Open();
  Choose(kIdPresetCombo, 0);
  ASSERT_TRUE(At(kIdDeletePreset).enabled);
  // The typed name decides, not the item that happens to be selected.
  Type(kIdPresetCombo, "GAMMA");
  Click(kIdDeletePreset);
  EXPECT_TRUE(m_host.boxes.empty());
  EXPECT_FALSE(PresetExists("Gamma"));
  EXPECT_TRUE(PresetExists("Alpha"));
  EXPECT_EQ(PresetItems(), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(At(kIdPresetCombo).selection, -1);
  EXPECT_EQ(At(kIdPresetCombo).text, "");
  EXPECT_FALSE(At(kIdDeletePreset).enabled);
}

TEST_F(PresetCommandTest, EmptyNameSavesAndDeletesNothing) {
  StoreDwords("", {{"BPMinute", 90}});
  Open();
  // At a first start Delete is enabled with an empty name.
  ASSERT_TRUE(At(kIdDeletePreset).enabled);
  Click(kIdDeletePreset);
  Click(kIdSavePreset);
  EXPECT_TRUE(PresetExists(""));
  EXPECT_EQ(StoredDword("", kBpMinuteValue), 90);
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
  EXPECT_TRUE(PresetItems().empty());
}

TEST_F(PresetCommandTest, ChoosingAPresetLoadsItKeepsBlinkerSizesAndStopsPlaying) {
  // "Slow" has a tempo and voice 2's instrument (9 is note 44, Pedal Hi-hat), no sizes.
  StoreDwords("Slow", {{"BPMinute", 90}, {"Sound 1", 9}});
  StorePreset("Fast");
  Open();
  Slide(kIdVoiceBlinkSize[2], 3);  // the user shrinks voice 3's blinker size from 8 to 3
  const WindowRect place = m_host.place;
  Click(kIdPlay);
  ASSERT_TRUE(Dialog().IsPlaying());

  Choose(kIdPresetCombo, 1);
  EXPECT_FALSE(Dialog().IsPlaying());
  EXPECT_EQ(At(kIdPlay).text, "&Play");
  EXPECT_EQ(At(kIdTempoEdit).text, "90");
  EXPECT_EQ(Shown(m_controls, kIdVoiceInstrument[1]), "Pedal Hi-hat");
  EXPECT_EQ(Dialog().Voices().m_blinkSize[2], 3);
  EXPECT_EQ(At(kIdVoiceBlinker[2]).frame, 3);
  EXPECT_EQ(Dialog().Voices().m_blinkSize[0], 8);
  EXPECT_EQ(At(kIdPresetCombo).selection, 1);
  EXPECT_EQ(At(kIdPresetCombo).text, "Slow");
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  // Neither the window's place, nor the list, nor the main key change.
  EXPECT_EQ(m_host.place, place);
  EXPECT_EQ(PresetItems(), (std::vector<std::string>{"Fast", "Slow"}));
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
}

TEST_F(PresetCommandTest, AStoreThatCannotBeWrittenShowsTheRegistryError) {
  test::FaultyRegistry faulty(m_memory);
  faulty.failAt = 0;  // loading writes nothing, so this is the preset's first value
  m_registry = &faulty;
  Open();
  Type(kIdPresetCombo, "Mine");
  Click(kIdSavePreset);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Error Opening Registry Key");
  EXPECT_EQ(m_host.boxes[0].text,
            "Threre was an error opening the registry key.  Please limit preset names to letters "
            "and numbers.");
  EXPECT_EQ(m_host.boxes[0].icon, MessageIcon::kError);
  EXPECT_EQ(m_host.boxes[0].buttons, MessageButtons::kOk);
  // Nothing was kept and nothing changed.
  EXPECT_FALSE(PresetExists("Mine"));
  EXPECT_TRUE(PresetItems().empty());
  EXPECT_TRUE(At(kIdSavePreset).enabled);
  m_dialog.reset();  // before the registry it uses goes
}

// --- The window's place ---

using WindowPlaceTest = DialogTest;

TEST_F(WindowPlaceTest, ClosingStoresTheOuterRectangleAndTheSelection) {
  Open();
  m_host.place = WindowRect{40, 30, 40 + 289, 30 + 400};
  Close();
  EXPECT_EQ(StoredDword("", kWindowLeftValue), 40);
  EXPECT_EQ(StoredDword("", kWindowTopValue), 30);
  EXPECT_EQ(StoredDword("", kWindowRightValue), 40 + 289);
  EXPECT_EQ(StoredDword("", kWindowBottomValue), 30 + 400);
  EXPECT_EQ(StoredDword("", kPresetValue), -1);
  EXPECT_EQ(StoredDword("", kBpMinuteValue), 200);
}

// The screen is 1920 × 1080, the window 289 × 466 with its frame: the whole of it, title bar
// included, comes back on the screen.
TEST_F(WindowPlaceTest, TheWholeWindowComesBackOnTheScreen) {
  const int w = 289;
  const int h = 466;
  struct Case {
    int left;
    int top;
    int expectedLeft;
    int expectedTop;
  };
  const Case cases[] = {
      {100, 100, 100, 100},           // on the screen
      {1920 - 50, 20, 1920 - w, 20},  // partly off the right edge
      {1920, 20, 1920 - w, 20},       // wholly right of it
      {20, 1080, 20, 1080 - h},       // below it
      {-w - 1, 20, 0, 20},            // wholly left
      {20, -10, 20, 0},               // the title bar above the top
      {-10, -10, 0, 0},               // partly above and left
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.left << "," << c.top);
    StoreDwords("", {{"WindowLeft", c.left},
                     {"WindowTop", c.top},
                     {"WindowRight", c.left + w},
                     {"WindowBottom", c.top + h}});
    m_host = FakeHost();
    Open();
    EXPECT_EQ(m_host.place,
              (WindowRect{c.expectedLeft, c.expectedTop, c.expectedLeft + w, c.expectedTop + h}));
    m_dialog.reset();
  }
}

// X11 decorates a window only once it is shown: the layout is captured without a frame, and
// the frame then appears around the window where it was put, here with the title bar
// above the screen. Once, when the frame appears: a window the user then drags partly off
// stays there.
TEST_F(WindowPlaceTest, ATitleBarPutOffTheScreenIsBroughtBackWhenTheFrameAppears) {
  m_host.frame = Size{0, 0};
  m_host.place = WindowRect{100, 10, 100 + 279, 10 + 436};
  StoreDwords("", {{"WindowLeft", 100},
                   {"WindowTop", 10},
                   {"WindowRight", 100 + 279},
                   {"WindowBottom", 10 + 436}});
  Open();
  EXPECT_EQ(m_host.place, (WindowRect{100, 10, 100 + 279, 10 + 436}));
  m_host.frame = Size{10, 30};
  m_host.place = WindowRect{95, -20, 95 + 289, -20 + 466};
  Dialog().OnFrameChanged();
  EXPECT_EQ(m_host.place, (WindowRect{95, 0, 95 + 289, 466}));
  m_host.place = WindowRect{95, -20, 95 + 289, -20 + 466};
  Dialog().OnFrameChanged();
  EXPECT_EQ(m_host.place.top, -20);
}

TEST_F(WindowPlaceTest, AWindowStoredShorterComesBackFoldedAndWithinTheLimits) {
  StoreDwords(
      "",
      {{"WindowLeft", 5}, {"WindowTop", 6}, {"WindowRight", 5 + 500}, {"WindowBottom", 6 + 100}});
  Open();
  // The width stays the created one and the height goes no lower than 180.
  EXPECT_EQ(m_host.place, (WindowRect{5, 6, 5 + 289, 6 + 180}));
  EXPECT_FALSE(At(kIdVoiceLabel[0]).visible);
}

// --- A restart over the real settings store (the file; on Windows the registry) ---

class SettingsRestartTest : public DialogTest {
 protected:
  void OpenFile() {
#ifdef _WIN32
    m_file = std::make_unique<WindowsRegistry>(test::ScratchRegistryRoot(m_folder.path()));
#else
    m_file = SqliteRegistry::Open(m_folder.path() / "ticktavo" / "settings.db", m_errors);
    ASSERT_TRUE(m_file->IsOpen());
#endif
    m_registry = m_file.get();
  }
  // Closes the window as the user does, and opens a new one over the same file.
  void Restart() {
    Close();
    m_dialog.reset();
    m_file.reset();
    m_controls = FakeControls();
    m_host = FakeHost();
    OpenFile();
    Open();
  }
  void TearDown() override {
    DialogTest::TearDown();
    m_file.reset();
  }

  test::TempFolder m_folder;
  std::ostringstream m_errors;
#ifdef _WIN32
  std::unique_ptr<WindowsRegistry> m_file;
#else
  std::unique_ptr<SqliteRegistry> m_file;
#endif
};

TEST_F(SettingsRestartTest, ChangedSettingsPresetsAndPlaceComeBack) {
  OpenFile();
  Open();
  // The user's changes, each through its control.
  Type(kIdTempoEdit, "123");
  Click(kIdCustom);
  Click(kIdBlink);
  Step(kIdVoiceVolume[4], -7);
  Type(kIdCustomMeasure, "1(23)0");
  Type(kIdPresetCombo, "Fast");
  Click(kIdSavePreset);
  ASSERT_EQ(At(kIdPresetCombo).text, "Fast");
  m_host.place = WindowRect{25, 35, 25 + 289, 35 + 466};
  Restart();

  EXPECT_EQ(At(kIdTempoEdit).text, "123");
  EXPECT_EQ(Dialog().Bpm(), 123);
  EXPECT_TRUE(At(kIdCustom).checked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Custom);
  EXPECT_EQ(At(kIdCustomMeasure).text, "1(23)0");
  EXPECT_FALSE(At(kIdBlink).checked);
  EXPECT_EQ(At(kIdVoiceVolume[4]).position, 120);
  EXPECT_EQ(PresetItems(), std::vector<std::string>{"Fast"});
  EXPECT_EQ(At(kIdPresetCombo).text, "Fast");
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
  EXPECT_FALSE(At(kIdSavePreset).enabled);
  EXPECT_EQ(m_host.place, (WindowRect{25, 35, 25 + 289, 35 + 466}));
  EXPECT_EQ(m_errors.str(), "");

  // The preset holds the same musical settings: choose it after changing the tempo.
  Type(kIdTempoEdit, "300");
  Choose(kIdPresetCombo, 0);
  EXPECT_EQ(Dialog().Bpm(), 123);
  EXPECT_EQ(At(kIdCustomMeasure).text, "1(23)0");
}

// A larger font between runs (base units 7 × 16 instead of 6 × 13: rows 28 pixels apart
// instead of 23, a client area of 326 × 536 instead of 279 × 436) lays the window out anew.
// It comes back showing the rows it showed: at its new full height when it was full, else
// shorter by whole rows, so no row is folded that was shown and no band is left empty.
TEST_F(SettingsRestartTest, AfterAFontChangeTheWindowShowsTheRowsItShowed) {
  for (const int rows : {9, 5, 0}) {
    SCOPED_TRACE(rows);
    m_controls = FakeControls();
    m_host = FakeHost();
    OpenFile();
    Open();
    m_host.ResizeClient(279, 436 - (9 - rows) * 23);
    const WindowRect closed = m_host.place;
    Close();
    m_dialog.reset();
    m_file.reset();

    m_controls = FakeControls(MainDialogTemplate(), DialogUnits{7, 16});
    m_host = FakeHost();
    m_host.place = WindowRect{100, 50, 100 + 326 + 10, 50 + 536 + 30};
    OpenFile();
    Open();
    EXPECT_EQ(m_host.ClientSize(), (Size{326, 536 - (9 - rows) * 28}));
    EXPECT_EQ(m_host.place.left, closed.left);
    EXPECT_EQ(m_host.place.top, closed.top);
    for (int n = 0; n < 9; ++n) EXPECT_EQ(At(kIdVoiceLabel[n]).visible, n < rows) << n;
    EXPECT_TRUE(At(kIdVoicesHeading).visible);
    // The tempo and preset controls sit at the bottom, as far from it as in the full layout.
    const int tempoTop = DialogUnits{7, 16}.Y(226);
    EXPECT_EQ(m_host.ClientSize().height - At(kIdTempoEdit).place.y, 536 - tempoTop);
    Close();
    m_dialog.reset();
    m_file.reset();
  }
}

#ifndef _WIN32
// A damaged file: the window comes up on the defaults, the damaged file is kept beside the
// new one untouched, one line tells why, and the close saves into the new file.
TEST_F(SettingsRestartTest, ADamagedFileIsKeptAsideAndTheWindowStartsOnTheDefaults) {
  const std::filesystem::path file = m_folder.path() / "ticktavo" / "settings.db";
  std::filesystem::create_directories(file.parent_path());
  const std::string garbage(4096, '\x5a');
  std::ofstream(file, std::ios::binary) << garbage;
  OpenFile();
  Open();
  EXPECT_EQ(At(kIdTempoEdit).text, "200");
  EXPECT_TRUE(At(kIdStraight).checked);
  EXPECT_TRUE(PresetItems().empty());
  const std::string errors = m_errors.str();
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;

  std::vector<std::filesystem::path> kept;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().starts_with("settings.db.damaged-")) {
      kept.push_back(entry.path());
    }
  }
  ASSERT_EQ(kept.size(), 1u);
  std::ifstream in(kept[0], std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);

  Restart();
  EXPECT_EQ(StoredDword("", "BPMinute"), 200);
}

#endif

}  // namespace
}  // namespace ticktavo::testing
