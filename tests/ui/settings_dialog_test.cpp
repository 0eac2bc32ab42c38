// The stored settings and the presets through the real window: what a load puts into the
// controls, the preset commands with their questions and errors, and the window's place.
// The registry is in memory here; settings_restart_test.cpp uses the real file.

#include <functional>
#include <sstream>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include "res/resource_ids.h"
#include "rhythm/percussion_table.h"
#include "settings_test_support.h"
#include "store/settings_values.h"
#include "store/sqlite_registry.h"
#include "store/store_test_support.h"
#include "ui/blinker_static.h"
#include "ui/measure_edit.h"

namespace ticktavo::testing {
namespace {

// GM percussion names of the instruments by note number (instrument index + 35): 35
// Acoustic Bass Drum, 36 Bass Drum 1, 37 Side Stick, 77 Low Wood Block, 81 Open Triangle.
const QString kAcousticBassDrum = QStringLiteral("Acoustic Bass Drum");

using SettingsLoadTest = SettingsDialogTest;

TEST_F(SettingsLoadTest, FirstStartShowsTheDefaultsAndCreatesTheEmptyMainKey) {
  Open();
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("200"));
  EXPECT_EQ(m_dialog->Bpm(), 200);
  EXPECT_EQ(m_dialog->BeatsEdit()->text(), QStringLiteral("4"));
  EXPECT_TRUE(m_dialog->StraightRadio()->isChecked());
  EXPECT_FALSE(m_dialog->SimpleMeasureRadio()->isChecked());
  EXPECT_FALSE(m_dialog->CustomRadio()->isChecked());
  EXPECT_EQ(m_dialog->Style(), MetronomeStyle::Straight);
  // Voices 1..3 default to instruments 2, 1 and 42 (notes 37, 36, 77), the rest to 0.
  EXPECT_EQ(m_dialog->InstrumentCombo(0)->currentText(), QStringLiteral("Side Stick"));
  EXPECT_EQ(m_dialog->InstrumentCombo(1)->currentText(), QStringLiteral("Bass Drum 1"));
  EXPECT_EQ(m_dialog->InstrumentCombo(2)->currentText(), QStringLiteral("Low Wood Block"));
  for (int n = 0; n < kVoiceCount; ++n) {
    if (n >= 3) {
      EXPECT_EQ(m_dialog->InstrumentCombo(n)->currentText(), kAcousticBassDrum) << n;
    }
    EXPECT_EQ(m_dialog->VolumeSlider(n)->value(), 127) << n;
    EXPECT_EQ(m_dialog->BlinkSizeSlider(n)->value(), 8) << n;
    EXPECT_EQ(m_dialog->VoiceBlinker(n)->Frame(), 8) << n;
  }
  EXPECT_EQ(m_dialog->CustomMeasureEdit()->text(), QStringLiteral("31212012121"));
  EXPECT_TRUE(m_dialog->BlinkCheck()->isChecked());
  EXPECT_TRUE(m_dialog->Blinking());
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 0);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QString());
  // The missing "Preset" reads as 0, a position the empty list does not have.
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  // Loading created the main key and wrote nothing into it.
  EXPECT_TRUE(PresetExists(""));
  EXPECT_EQ(StoredDword("", kBpMinuteValue), -12345);
}

// One stored main key and what the window must show for it.
struct StoredCase {
  const char* name;
  std::vector<std::pair<std::string, int>> values;
  std::function<void(MetronomeDialog&)> check;
};

class StoredValueTest : public SettingsDialogTest,
                        public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValueTest, LoadsIntoTheControls) {
  StoreDwords("", GetParam().values);
  Open();
  GetParam().check(*m_dialog);
}

// Slider positions are 1000 × log2(tempo + 128) rounded: 4 → 7044, 1000 → 10140.
INSTANTIATE_TEST_SUITE_P(
    Stored, StoredValueTest,
    ::testing::Values(
        StoredCase{"TempoAboveTheRangeIsClamped",
                   {{"BPMinute", 5000}},
                   [](MetronomeDialog& d) {
                     EXPECT_EQ(d.Bpm(), 1000);
                     EXPECT_EQ(d.TempoEdit()->text(), QStringLiteral("1000"));
                     EXPECT_EQ(d.TempoSlider()->value(), 10140);
                   }},
        StoredCase{"TempoBelowTheRangeIsClamped",
                   {{"BPMinute", 2}},
                   [](MetronomeDialog& d) {
                     EXPECT_EQ(d.Bpm(), 4);
                     EXPECT_EQ(d.TempoEdit()->text(), QStringLiteral("4"));
                     EXPECT_EQ(d.TempoSlider()->value(), 7044);
                   }},
        // Compared unsigned, a negative tempo lies above the top.
        StoredCase{"NegativeTempoGivesTheTop",
                   {{"BPMinute", -5}},
                   [](MetronomeDialog& d) { EXPECT_EQ(d.TempoEdit()->text(), "1000"); }},
        StoredCase{"StyleSevenLoadsAsCustom",
                   {{"Metronome Style", 7}},
                   [](MetronomeDialog& d) {
                     EXPECT_TRUE(d.CustomRadio()->isChecked());
                     EXPECT_FALSE(d.StraightRadio()->isChecked());
                     EXPECT_EQ(d.Style(), MetronomeStyle::Custom);
                     EXPECT_TRUE(d.CustomMeasureEdit()->isEnabled());
                     EXPECT_FALSE(d.BeatsEdit()->isEnabled());
                   }},
        StoredCase{"SimpleMeasureWithItsLength",
                   {{"Metronome Style", 1}, {"BPMeasure", 7}},
                   [](MetronomeDialog& d) {
                     EXPECT_TRUE(d.SimpleMeasureRadio()->isChecked());
                     EXPECT_EQ(d.BeatsEdit()->text(), QStringLiteral("7"));
                     EXPECT_TRUE(d.BeatsEdit()->isEnabled());
                   }},
        // 46 is the last instrument (note 81); 47 and 99 do not exist and give the voice's
        // default: voice 1's is Side Stick, voice 5's Acoustic Bass Drum.
        StoredCase{"InstrumentsOutsideTheTableGiveTheVoiceDefault",
                   {{"Sound 0", 47}, {"Sound 1", 46}, {"Sound 4", 99}, {"Sound 5", -1}},
                   [](MetronomeDialog& d) {
                     EXPECT_EQ(d.InstrumentCombo(0)->currentText(), QStringLiteral("Side Stick"));
                     EXPECT_EQ(d.InstrumentCombo(1)->currentText(),
                               QStringLiteral("Open Triangle"));
                     EXPECT_EQ(d.InstrumentCombo(4)->currentText(), kAcousticBassDrum);
                     EXPECT_EQ(d.InstrumentCombo(5)->currentText(), kAcousticBassDrum);
                     EXPECT_EQ(d.Voices().m_instrument[0], 2);
                     EXPECT_EQ(d.Voices().m_instrument[4], 0);
                   }},
        StoredCase{"VolumesAndBlinkerSizesAreHeldToTheirRanges",
                   {{"Volume 2", 300},
                    {"Volume 3", 0},
                    {"Blinker 5", -3},
                    {"Blinker 6", 9},
                    {"Blinker 7", 5}},
                   [](MetronomeDialog& d) {
                     EXPECT_EQ(d.VolumeSlider(2)->value(), 127);
                     EXPECT_EQ(d.Voices().m_volume[2], 127);
                     EXPECT_EQ(d.VolumeSlider(3)->value(), 0);
                     EXPECT_EQ(d.Voices().m_blinkSize[5], 0);
                     EXPECT_EQ(d.VoiceBlinker(5)->Frame(), 0);
                     EXPECT_EQ(d.Voices().m_blinkSize[6], 8);
                     EXPECT_EQ(d.BlinkSizeSlider(7)->value(), 5);
                     EXPECT_EQ(d.VoiceBlinker(7)->Frame(), 5);
                   }},
        // The selection is applied after every field handler has cleared it.
        StoredCase{"StoredSelectionSurvivesTheFieldHandlers",
                   {{"Preset", -1}},
                   [](MetronomeDialog& d) {
                     EXPECT_EQ(d.PresetCombo()->currentIndex(), -1);
                     EXPECT_FALSE(d.DeleteButton()->isEnabled());
                     EXPECT_TRUE(d.SaveButton()->isEnabled());
                   }}),
    [](const ::testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.name); });

// A settings file the program cannot use (its folder would have to be made inside a plain
// file): the window still shows the first start's defaults, not blank fields over the values
// it plays with, and it can fold.
TEST_F(SettingsLoadTest, AnUnusableSettingsFileStillShowsTheDefaults) {
  test::TempFolder folder;
  std::ostringstream errors;
  auto unusable = test::OpenUnusableSettings(folder, errors);
  ASSERT_FALSE(unusable->IsOpen());
  m_registry = unusable.get();
  Open();
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("200"));
  EXPECT_TRUE(m_dialog->StraightRadio()->isChecked());
  EXPECT_EQ(m_dialog->BeatsEdit()->text(), QStringLiteral("4"));
  EXPECT_EQ(m_dialog->InstrumentCombo(0)->currentText(), QStringLiteral("Side Stick"));
  EXPECT_EQ(m_dialog->VolumeSlider(8)->value(), 127);
  EXPECT_EQ(m_dialog->VoiceBlinker(8)->Frame(), 8);
  EXPECT_EQ(m_dialog->CustomMeasureEdit()->text(), QStringLiteral("31212012121"));
  EXPECT_TRUE(m_dialog->BlinkCheck()->isChecked());
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->LayoutReady());
  CloseAndDestroy();  // the save at close fails quietly
}

TEST_F(SettingsLoadTest, OneByteBlinkingFromAnEarlierRunIsReadBack) {
  Registry::Key key = 0;
  ASSERT_EQ(m_memory.CreateKey(Registry::kCurrentUser, SettingsKey, RegAccess::kWrite, &key),
            RegResult::kSuccess);
  const std::byte off[1] = {std::byte{0}};
  ASSERT_EQ(m_memory.SetValue(key, kBlinkingValue, kRegDword, off), RegResult::kSuccess);
  m_memory.CloseKey(key);
  Open();
  EXPECT_FALSE(m_dialog->BlinkCheck()->isChecked());
  EXPECT_FALSE(m_dialog->Blinking());
}

TEST_F(SettingsLoadTest, StoredPresetsAreListedSortedWithTheStoredOneSelected) {
  StorePreset("gamma");
  StorePreset("Alpha");
  StorePreset("beta");
  StoreDwords("", {{"Preset", 1}});
  Open();
  EXPECT_EQ(PresetItems(), QStringList({"Alpha", "beta", "gamma"}));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("beta"));
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
}

// --- The preset commands ---

using PresetCommandTest = SettingsDialogTest;

TEST_F(PresetCommandTest, TypingANameEnablesSaveExactlyWhileItIsNotEmpty) {
  Open();
  ASSERT_FALSE(m_dialog->SaveButton()->isEnabled());
  TypePresetName(QStringLiteral("x"));
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->SaveButton()->isDefault());
  TypePresetName(QString());
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  // The name field belongs to the settings layer; the tempo field's handlers do not reach it.
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 0);
}

// Editing the name changes Save only: the chosen preset stays selected (and is the position
// stored at close) and Delete keeps its state.
TEST_F(PresetCommandTest, EditingTheNameKeepsTheSelectionAndDelete) {
  StorePreset("Alpha");
  StorePreset("Beta");
  Open();
  ChoosePreset(1);
  ASSERT_FALSE(m_dialog->SaveButton()->isEnabled());
  TypePresetName(QStringLiteral("Other"));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 1);
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  CloseAndDestroy();
  EXPECT_EQ(StoredDword("", kPresetValue), 1);
}

TEST_F(PresetCommandTest, TheNameFieldKeepsWhatWasTypedAndLeavingItChoosesNothing) {
  StoreDwords("Beta", {{"BPMinute", 100}});
  StoreDwords("", {{"Preset", -1}});
  Open();
  // No completion from the list: "b" stays "b" although "Beta" is listed.
  TypePresetName(QStringLiteral("b"));
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("b"));
  // Leaving the field with a listed name neither selects nor loads that preset.
  TypePresetName(QStringLiteral("BETA"));
  m_dialog->TempoEdit()->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("BETA"));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), -1);
  EXPECT_EQ(m_dialog->Bpm(), 200);
}

TEST_F(PresetCommandTest, SavingANewNameInsertsItInSortedPlaceAndSelectsIt) {
  StorePreset("alpha");
  StorePreset("Gamma");
  Open();
  TypePresetName(QStringLiteral("Beta"));
  BoxAnswerer answerer(QMessageBox::Ok);
  QTest::mouseClick(m_dialog->SaveButton(), Qt::LeftButton);
  EXPECT_FALSE(answerer.Seen().seen) << answerer.Seen().title.toStdString();
  EXPECT_EQ(PresetItems(), QStringList({"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Beta"));
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 200);
  // A preset holds no selection and no window place; the main key waits for the close.
  EXPECT_EQ(StoredDword("Beta", kPresetValue), -12345);
  EXPECT_EQ(StoredDword("Beta", kWindowLeftValue), -12345);
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
}

class OverwriteTest : public SettingsDialogTest {
 protected:
  // A preset "Beta" stored at 100 bpm; the window set to 150 and "beta" typed as the name.
  void SetUp() override {
    StoreDwords("Beta", {{"BPMinute", 100}});
    StoreDwords("", {{"Preset", -1}});
    Open();
    m_dialog->TempoEdit()->setFocus(Qt::OtherFocusReason);
    m_dialog->TempoEdit()->selectAll();
    QTest::keyClicks(m_dialog->TempoEdit(), QStringLiteral("150"));
    TypePresetName(QStringLiteral("beta"));
    ASSERT_EQ(m_dialog->Bpm(), 150);
    ASSERT_TRUE(m_dialog->SaveButton()->isEnabled());
    m_deleteWasEnabled = m_dialog->DeleteButton()->isEnabled();
  }

  AnsweredBox ClickSaveAnswering(QMessageBox::StandardButton answer) {
    BoxAnswerer answerer(answer);
    QTest::mouseClick(m_dialog->SaveButton(), Qt::LeftButton);
    return answerer.Seen();
  }

  bool m_deleteWasEnabled = false;
};

TEST_F(OverwriteTest, AsksWithTheQuestionBoxOwnedByTheWindow) {
  const AnsweredBox box = ClickSaveAnswering(QMessageBox::No);
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Preset Already Exists"));
  EXPECT_EQ(box.text,
            QStringLiteral("You are about to save over the current preset \"beta\".  Continue?"));
  EXPECT_EQ(box.icon, QMessageBox::Question);
  EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.parent, m_dialog.get());
}

TEST_F(OverwriteTest, NoLeavesThePresetTheListAndTheButtons) {
  ClickSaveAnswering(QMessageBox::No);
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 100);
  EXPECT_EQ(PresetItems(), QStringList({"Beta"}));
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("beta"));
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  EXPECT_EQ(m_dialog->DeleteButton()->isEnabled(), m_deleteWasEnabled);
}

TEST_F(OverwriteTest, YesWritesThePresetAndSelectsItsItem) {
  ClickSaveAnswering(QMessageBox::Yes);
  EXPECT_EQ(StoredDword("Beta", kBpMinuteValue), 150);
  EXPECT_EQ(PresetItems(), QStringList({"Beta"}));  // not listed twice
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 0);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Beta"));
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
}

TEST_F(PresetCommandTest, DeleteRemovesTheNamedPresetWithoutAsking) {
  StorePreset("Alpha");
  StorePreset("Gamma");
  Open();
  ChoosePreset(0);
  ASSERT_TRUE(m_dialog->DeleteButton()->isEnabled());
  // The typed name decides, not the item that happens to be selected.
  TypePresetName(QStringLiteral("GAMMA"));
  BoxAnswerer answerer(QMessageBox::Ok);
  QTest::mouseClick(m_dialog->DeleteButton(), Qt::LeftButton);
  EXPECT_FALSE(answerer.Seen().seen);
  EXPECT_FALSE(PresetExists("Gamma"));
  EXPECT_TRUE(PresetExists("Alpha"));
  EXPECT_EQ(PresetItems(), QStringList({"Alpha"}));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), -1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QString());
  EXPECT_FALSE(m_dialog->DeleteButton()->isEnabled());
}

TEST_F(PresetCommandTest, EmptyNameSavesAndDeletesNothing) {
  StoreDwords("", {{"BPMinute", 90}});
  Open();
  // At a first start Delete is enabled with an empty name.
  ASSERT_TRUE(m_dialog->DeleteButton()->isEnabled());
  QTest::mouseClick(m_dialog->DeleteButton(), Qt::LeftButton);
  m_dialog->OnSavePreset();
  EXPECT_TRUE(PresetExists(""));
  EXPECT_EQ(StoredDword("", kBpMinuteValue), 90);
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 0);
}

TEST_F(PresetCommandTest, ChoosingAPresetLoadsItKeepsBlinkerSizesAndStopsPlaying) {
  // "Slow" has a tempo and voice 2's instrument (9 is note 44, Pedal Hi-hat), no sizes.
  StoreDwords("Slow", {{"BPMinute", 90}, {"Sound 1", 9}});
  StorePreset("Fast");
  Open();
  // The user shrinks voice 3's blinker size from 8 to 3.
  for (int step = 0; step < 5; ++step) {
    m_dialog->BlinkSizeSlider(2)->triggerAction(QAbstractSlider::SliderSingleStepSub);
  }
  ASSERT_EQ(m_dialog->Voices().m_blinkSize[2], 3);
  const QRect place = m_dialog->frameGeometry();
  m_dialog->TogglePlay();
  ASSERT_TRUE(m_dialog->IsPlaying());

  ChoosePreset(1);
  EXPECT_FALSE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("&Play"));
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("90"));
  EXPECT_EQ(m_dialog->InstrumentCombo(1)->currentText(), QStringLiteral("Pedal Hi-hat"));
  EXPECT_EQ(m_dialog->Voices().m_blinkSize[2], 3);
  EXPECT_EQ(m_dialog->VoiceBlinker(2)->Frame(), 3);
  EXPECT_EQ(m_dialog->Voices().m_blinkSize[0], 8);
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Slow"));
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
  // Neither the window's place, nor the list, nor the main key change.
  EXPECT_EQ(m_dialog->frameGeometry(), place);
  EXPECT_EQ(PresetItems(), QStringList({"Fast", "Slow"}));
  EXPECT_EQ(StoredDword("", kPresetValue), -12345);
}

TEST_F(PresetCommandTest, AStoreThatCannotBeWrittenShowsTheRegistryError) {
  test::FaultyRegistry faulty(m_memory);
  faulty.failAt = 0;  // loading writes nothing, so this is the preset's first value
  m_registry = &faulty;
  Open();
  TypePresetName(QStringLiteral("Mine"));
  BoxAnswerer answerer(QMessageBox::Ok);
  QTest::mouseClick(m_dialog->SaveButton(), Qt::LeftButton);
  const AnsweredBox& box = answerer.Seen();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Error Opening Registry Key"));
  EXPECT_EQ(box.text, QStringLiteral("Threre was an error opening the registry key.  Please "
                                     "limit preset names to letters and numbers."));
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(box.parent, m_dialog.get());
  // Nothing was kept and nothing changed.
  EXPECT_FALSE(PresetExists("Mine"));
  EXPECT_EQ(m_dialog->PresetCombo()->count(), 0);
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  m_dialog.reset();  // before the registry it uses goes
}

// --- The window's place ---

class WindowPlaceTest : public SettingsDialogTest {
 protected:
  // The window's outer size as created from the template, learnt from a first window.
  QSize CreatedSize() {
    Open();
    const QSize size = m_dialog->frameGeometry().size();
    m_dialog.reset();
    m_memory.DeleteKey(Registry::kCurrentUser, SettingsKey);
    return size;
  }
  void StoreRect(QRect r) {
    StoreDwords("", {{"WindowLeft", r.left()},
                     {"WindowTop", r.top()},
                     {"WindowRight", r.left() + r.width()},
                     {"WindowBottom", r.top() + r.height()}});
  }
};

TEST_F(WindowPlaceTest, ClosingStoresTheOuterRectangleAndTheSelection) {
  Open();
  m_dialog->move(40, 30);
  const QRect frame = m_dialog->frameGeometry();
  ASSERT_EQ(frame.topLeft(), QPoint(40, 30));
  CloseAndDestroy();
  // Right and bottom are exclusive: left + width, top + height.
  EXPECT_EQ(StoredDword("", kWindowLeftValue), 40);
  EXPECT_EQ(StoredDword("", kWindowTopValue), 30);
  EXPECT_EQ(StoredDword("", kWindowRightValue), 40 + frame.width());
  EXPECT_EQ(StoredDword("", kWindowBottomValue), 30 + frame.height());
  EXPECT_EQ(StoredDword("", kPresetValue), -1);
  EXPECT_EQ(StoredDword("", kBpMinuteValue), 200);
}

TEST_F(WindowPlaceTest, OffScreenRuleAgainstThePrimaryScreen) {
  const QSize size = CreatedSize();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int w = size.width();
  const int h = size.height();
  struct Case {
    QPoint stored;
    bool movesToOrigin;
  };
  const Case cases[] = {
      {{screen.right() - 50, 20}, false},            // partly off the right edge
      {{screen.left() + screen.width(), 20}, true},  // left edge at the right edge
      {{20, screen.top() + screen.height()}, true},  // top edge at the bottom edge
      {{-w - 1, 20}, true},                          // right < 0
      {{-w, 20}, false},                             // right == 0 still touches
      {{20, -h - 1}, true},                          // bottom < 0
      {{-10, -10}, false},                           // partly above and left
  };
  for (const Case& c : cases) {
    StoreRect(QRect(c.stored, size));
    Open();
    const QRect frame = m_dialog->frameGeometry();
    const std::string at = std::to_string(c.stored.x()) + "," + std::to_string(c.stored.y());
    EXPECT_EQ(frame.size(), size) << at;
    if (c.movesToOrigin) {
      EXPECT_EQ(frame.topLeft(), screen.topLeft()) << at;
    } else {
      // The offscreen platform keeps a window at a negative position one frame thickness
      // (2 px) further in; what counts is that it stayed where it was stored.
      EXPECT_LE((frame.topLeft() - c.stored).manhattanLength(), 4) << at;
    }
    m_dialog.reset();
    m_memory.DeleteKey(Registry::kCurrentUser, SettingsKey);
  }
}

// Remembers the window's rectangle as its settings are loaded, before it is first shown.
class LoadTimeRect final : public SettingsSeam {
 public:
  void LoadSettings(MetronomeDialog& dialog, const char* /*presetName*/) override {
    rect = dialog.frameGeometry();
  }
  bool SaveSettings(MetronomeDialog& /*dialog*/, const char* /*presetName*/) override {
    return false;
  }
  QRect rect;
};

// A window stored in the primary screen's top-left corner comes back there like any other
// stored place, also when the stored rectangle equals the one the window has before it is
// first shown (where the system draws no frame, the origin and the created size). Only a
// first start, with nothing stored, leaves the window where the system puts it.
TEST_F(WindowPlaceTest, AWindowStoredAtTheCornerComesBackThere) {
  LoadTimeRect seen;
  {
    MetronomeDialog first(m_clock, m_midi, seen);
    first.Create();
  }
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  ASSERT_EQ(seen.rect.topLeft(), screen.topLeft());
  StoreRect(seen.rect);
  Open();
  EXPECT_EQ(m_dialog->frameGeometry().topLeft(), screen.topLeft());
}

}  // namespace
}  // namespace ticktavo::testing
