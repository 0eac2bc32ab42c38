// The practice tools as the windows have them: tap tempo, the Practice window's controls over
// the main dialog, the speed trainer's steps shown and undone by Stop, and the tools stored
// with the settings and presets.

#include <optional>

#include "dialog/practice_dialog.h"
#include "dialog/tap_tempo.h"
#include "dialog_rig.h"
#include "res/practice_dialog_template.h"
#include "res/resource_ids.h"

namespace ticktavo::testing {
namespace {

// Tap times in milliseconds and what each tap gives (0: nothing, the first of a count).
struct TapCase {
  const char* what;
  std::vector<std::int64_t> taps;
  std::vector<int> results;
};

// 60,000 / mean interval, rounded: 500 → 120; 625 → 96; 1985 / 4 = 496.25 → 120.9 → 121;
// 2000 → 30; 10 → 6000, held to 1000.
const TapCase kTapCases[] = {
    {"steady 500 ms", {0, 500, 1000, 1500, 2000}, {0, 120, 120, 120, 120}},
    {"jitter of up to 10 ms around a 500 ms grid",
     {5, 490, 1010, 1497, 1990},
     // 485 → 123.7; (1010 - 5) / 2 = 502.5 → 119.4; 1492 / 3 → 120.6; 1985 / 4 → 120.9
     {0, 124, 119, 121, 121}},
    {"only the last four intervals count",
     {0, 1000, 1500, 2000, 2500, 3000},
     // 1000 → 60; 1500 / 2 → 80; 2000 / 3 → 90; 2500 / 4 → 96; then 2000 / 4 → 120
     {0, 60, 80, 90, 96, 120}},
    {"a pause over 2 s starts again", {0, 500, 2501, 3001}, {0, 120, 0, 120}},
    {"a pause of exactly 2 s does not", {0, 2000}, {0, 30}},
    {"too fast is held to 1000", {0, 10, 10}, {0, 1000, 1000}},
};

TEST(TapTempoTest, MeanOfTheLastFourIntervalsRoundedAndHeld) {
  for (const TapCase& c : kTapCases) {
    SCOPED_TRACE(c.what);
    TapTempo taps;
    std::vector<int> results;
    for (std::int64_t t : c.taps) results.push_back(taps.Tap(t, 1000).value_or(0));
    EXPECT_EQ(results, c.results);
  }
  // The clock's own frequency: five taps 500 ms apart in nanoseconds.
  TapTempo taps;
  std::optional<int> bpm;
  for (std::int64_t k = 0; k < 5; ++k)
    bpm = taps.Tap(1'000'000'000 + k * 500'000'000, 1'000'000'000);
  EXPECT_EQ(bpm, 120);
  EXPECT_EQ(taps.Count(), 5);
}

class PracticeTest : public DialogTest {
 protected:
  void OpenPractice() {
    Open();
    m_practice =
        std::make_unique<PracticeDialog>(m_practiceControls, Dialog().PracticeTools(), m_clock);
    m_practice->OnInitDialog();
    Dialog().AttachPracticeDialog(m_practice.get());
  }
  void TearDown() override {
    if (m_dialog) m_dialog->AttachPracticeDialog(nullptr);
    DialogTest::TearDown();
  }
  FakeControls::Control& Field(int id) { return m_practiceControls.At(id); }
  void ClickPractice(int id) {
    Field(id).checked = !Field(id).checked;
    m_practice->OnCommand(id, Notification::kClicked);
  }
  void TypePractice(int id, std::string_view text) {
    m_practiceControls.SetText(id, text);
    m_practice->OnCommand(id, Notification::kChanged);
  }
  PracticeSettings Practice() { return Dialog().GetSequencer().Practice(); }

  FakeControls m_practiceControls{PracticeDialogTemplate()};
  std::unique_ptr<PracticeDialog> m_practice;
};

TEST_F(PracticeTest, TheWindowMenuItemOpensThePracticeWindow) {
  Open();
  Dialog().OnSysCommand(kIdPracticeCommand);
  Dialog().OnSysCommand(kIdPracticeCommand + 15);  // the low four bits are not looked at
  EXPECT_EQ(m_host.practiceWindows, 2);
  EXPECT_EQ(m_host.aboutBoxes, 0);
}

TEST_F(PracticeTest, SwitchesAndNumbersReachTheSequencerHeldToTheirRanges) {
  OpenPractice();
  // A first start: both off, the numbers' defaults shown and not editable.
  EXPECT_EQ(Practice(), PracticeSettings{});
  EXPECT_EQ(Field(kIdTrainerTarget).text, "200");
  EXPECT_FALSE(Field(kIdTrainerStep).enabled);
  EXPECT_FALSE(Field(kIdMutePlayed).enabled);
  At(kIdSavePreset).enabled = false;

  ClickPractice(kIdTrainer);
  EXPECT_TRUE(Practice().trainer);
  EXPECT_TRUE(Field(kIdTrainerStep).enabled);
  EXPECT_FALSE(Field(kIdMuteSilent).enabled);
  EXPECT_TRUE(At(kIdSavePreset).enabled) << "a stored setting changed";

  struct Row {
    int id;
    const char* typed;
    int PracticeSettings::*value;
    int held;
  };
  const Row rows[] = {
      {kIdTrainerStep, "0", &PracticeSettings::trainerStep, 1},
      {kIdTrainerStep, "250", &PracticeSettings::trainerStep, 100},
      {kIdTrainerEvery, "", &PracticeSettings::trainerEvery, 1},
      {kIdTrainerTarget, "3", &PracticeSettings::trainerTarget, 4},
      {kIdTrainerTarget, "5000", &PracticeSettings::trainerTarget, 1000},
      {kIdMutePlayed, "65", &PracticeSettings::mutePlayed, 64},
      {kIdMuteSilent, "2", &PracticeSettings::muteSilent, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.id) + " typed " + row.typed);
    TypePractice(row.id, row.typed);
    EXPECT_EQ(Practice().*row.value, row.held);
    EXPECT_EQ(Field(row.id).text, row.typed) << "the typing stays until the field is left";
    m_practice->OnCommand(row.id, Notification::kKillFocus);
    EXPECT_EQ(Field(row.id).text, std::to_string(row.held));
  }
}

TEST_F(PracticeTest, TapsSetTheMainTempoAsTypingDoes) {
  OpenPractice();
  At(kIdSavePreset).enabled = false;
  for (int k = 0; k < 5; ++k) {
    if (k > 0) m_clock.Advance(500'000);  // 500 ms of the fake clock
    m_practice->OnCommand(kIdTap, Notification::kClicked);
  }
  EXPECT_EQ(Field(kIdTapResult).text, "120 BPM (5 taps)");
  EXPECT_EQ(At(kIdTempoEdit).text, "120");
  EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(120));
  EXPECT_EQ(Dialog().Bpm(), 120);
  EXPECT_TRUE(At(kIdSavePreset).enabled);

  // While playing the engine takes a tapped tempo at once (the window's own clock here).
  Click(kIdPlay);
  ASSERT_TRUE(PlayUntilNotes(1));
  m_practice->OnTapAt(10'000, 1000);
  m_practice->OnTapAt(10'250, 1000);
  EXPECT_EQ(At(kIdTempoEdit).text, "240");
  EXPECT_EQ(Dialog().Player().TicksPerBeat(), 250'000);
  EXPECT_TRUE(Dialog().IsPlaying());
}

// One-beat measures, +10 every measure from 200 up to 220: the tempo field follows the steps,
// Stop puts 200 back, and 200 is what is saved.
TEST_F(PracticeTest, TheTempoFieldShowsTheTrainerAndStopPutsTheStartBack) {
  OpenPractice();
  Click(kIdSimpleMeasure);
  Type(kIdBeatsEdit, "1");
  ClickPractice(kIdTrainer);
  TypePractice(kIdTrainerStep, "10");
  TypePractice(kIdTrainerEvery, "1");
  TypePractice(kIdTrainerTarget, "220");
  Click(kIdPlay);
  // Steps at beats 2 and 3; by the sixth the target has held for three beats.
  ASSERT_TRUE(PlayUntilNotes(6));
  EXPECT_EQ(At(kIdTempoEdit).text, "220");
  EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(220));
  EXPECT_EQ(Dialog().ShownBpm(), 220);
  EXPECT_EQ(Dialog().Bpm(), 200);
  EXPECT_GE(std::stoi(Field(kIdMeasures).text), 5) << "one measure a beat";
  // Leaving the tempo field that shows a step is not a new tempo.
  LeaveField(kIdTempoEdit);
  EXPECT_EQ(Dialog().Bpm(), 200);

  Click(kIdPlay);  // Stop
  EXPECT_EQ(At(kIdTempoEdit).text, "200");
  EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(200));
  Close();
  EXPECT_EQ(StoredDword("", "BPMinute"), 200);
  EXPECT_EQ(StoredDword("", "Trainer"), 1);
  EXPECT_EQ(StoredDword("", "Trainer Target"), 220);
}

TEST_F(PracticeTest, PresetsKeepThePracticeToolsAndOnesWithoutThemLoadThemOff) {
  StoreDwords("Old", {{"BPMinute", 90}});  // saved before there were practice tools
  OpenPractice();
  ClickPractice(kIdMute);
  TypePractice(kIdMutePlayed, "2");
  ClickPractice(kIdTrainer);
  TypePractice(kIdTrainerTarget, "260");
  Type(kIdPresetCombo, "Drill");
  Click(kIdSavePreset);
  const PracticeSettings saved = Practice();
  EXPECT_EQ(StoredDword("Drill", "Mute Played"), 2);

  Choose(kIdPresetCombo, 1);  // "Old": sorted after "Drill"
  EXPECT_EQ(Practice(), PracticeSettings{});
  EXPECT_FALSE(Field(kIdTrainer).checked);
  EXPECT_EQ(Field(kIdMutePlayed).text, "3");

  Choose(kIdPresetCombo, 0);
  EXPECT_EQ(Practice(), saved);
  EXPECT_TRUE(Field(kIdTrainer).checked);
  EXPECT_TRUE(Field(kIdMute).checked);
  EXPECT_EQ(Field(kIdTrainerTarget).text, "260");
  EXPECT_TRUE(Field(kIdTrainerTarget).enabled);
}

}  // namespace
}  // namespace ticktavo::testing
