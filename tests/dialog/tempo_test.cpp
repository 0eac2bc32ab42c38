// The tempo controls: the logarithmic slider mapping, the typed tempo and its clamp, focus
// loss, and the slider's snapping to whole tempos.

#include "dialog_rig.h"
#include "res/resource_ids.h"

namespace ticktavo::testing {
namespace {

// Positions are 1000 × log2(bpm + 128), rounded: log2(132) = 7.04439 → 7044,
// log2(188) = 7.55459 → 7555, log2(248) = 7.95420 → 7954, log2(256) = 8 exactly → 8000,
// log2(1128) = 10.13955 → 10140.
struct MappingCase {
  int bpm;
  int position;
};
// How the case reads in test listings.
void PrintTo(const MappingCase& c, std::ostream* os) {
  *os << c.bpm << " bpm at " << c.position;
}
class TempoMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(TempoMappingTest, KnownPositions) {
  EXPECT_EQ(MetronomeDialog::BpmToSlider(GetParam().bpm), GetParam().position);
  EXPECT_EQ(MetronomeDialog::SliderToBpm(GetParam().position), GetParam().bpm);
}

INSTANTIATE_TEST_SUITE_P(Examples, TempoMappingTest,
                         ::testing::Values(MappingCase{4, 7044}, MappingCase{60, 7555},
                                           MappingCase{120, 7954}, MappingCase{128, 8000},
                                           MappingCase{1000, 10140}),
                         [](const ::testing::TestParamInfo<MappingCase>& info) {
                           return "Bpm" + std::to_string(info.param.bpm);
                         });

TEST(TempoMapping, EveryTempoSurvivesTheRoundTripAndPositionsRise) {
  int previous = 0;
  for (int bpm = 4; bpm <= 1000; ++bpm) {
    const int position = MetronomeDialog::BpmToSlider(bpm);
    ASSERT_EQ(MetronomeDialog::SliderToBpm(position), bpm) << "tempo " << bpm;
    ASSERT_GT(position, previous) << "tempo " << bpm;
    previous = position;
  }
}

TEST(TempoMapping, PositionBetweenTempos) {
  // 2^7.050 = 132.51 → rounds to 133 → tempo 5, whose own position is
  // 1000 × log2(133) = 7055.3 → 7055.
  EXPECT_EQ(MetronomeDialog::SliderToBpm(7050), 5);
  EXPECT_EQ(MetronomeDialog::BpmToSlider(5), 7055);
}

class TempoFieldTest : public DialogTest {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(TempoFieldTest, TypedTempoIsClampedButTheTextStaysUntilFocusLeaves) {
  struct Typed {
    const char* typed;
    int bpm;
    int position;
  };
  const Typed cases[] = {
      {"2", 4, 7044},         // below the range
      {"5000", 1000, 10140},  // above it
      {"120", 120, 7954},     // inside
      {"", 4, 7044},          // nothing typed reads as 0
      {"-5", 1000, 10140},    // compared unsigned, a negative number lies above the top
  };
  for (const Typed& c : cases) {
    SCOPED_TRACE(c.typed);
    At(kIdSavePreset).enabled = false;
    Type(kIdTempoEdit, c.typed);
    EXPECT_EQ(Dialog().Bpm(), c.bpm);
    EXPECT_EQ(At(kIdTempoSlider).position, c.position);
    EXPECT_EQ(At(kIdTempoEdit).text, c.typed);
    EXPECT_TRUE(At(kIdSavePreset).enabled);
  }
}

TEST_F(TempoFieldTest, FocusLossRewritesTheFieldAndDeselectsThePreset) {
  m_controls.InsertItem(kIdPresetCombo, -1, "Waltz");
  m_controls.SetSelection(kIdPresetCombo, 0);
  Type(kIdTempoEdit, "2");
  EXPECT_EQ(At(kIdPresetCombo).text, "Waltz");
  LeaveField(kIdTempoEdit);
  EXPECT_EQ(At(kIdTempoEdit).text, "4");
  EXPECT_EQ(At(kIdPresetCombo).selection, -1);
  EXPECT_EQ(At(kIdPresetCombo).text, "");
  EXPECT_FALSE(At(kIdDeletePreset).enabled);
  // Leaving the other fields changes nothing.
  m_controls.SetSelection(kIdPresetCombo, 0);
  LeaveField(kIdBeatsEdit);
  EXPECT_EQ(At(kIdPresetCombo).selection, 0);
}

TEST_F(TempoFieldTest, SliderEndsAndSnapping) {
  Slide(kIdTempoSlider, 7044, true);
  EXPECT_EQ(At(kIdTempoEdit).text, "4");
  Slide(kIdTempoSlider, 10140, true);
  EXPECT_EQ(At(kIdTempoEdit).text, "1000");
  EXPECT_EQ(Dialog().Bpm(), 1000);
  // A drag to 7050 shows tempo 5 and the thumb jumps to tempo 5's own place.
  Slide(kIdTempoSlider, 7050, true);
  EXPECT_EQ(At(kIdTempoEdit).text, "5");
  EXPECT_EQ(At(kIdTempoSlider).position, 7055);
  EXPECT_EQ(Dialog().Bpm(), 5);
}

// One whole tempo lies 1000 × log2((b + 129) / (b + 128)) positions from the next: 10.9 at
// 4 bpm, 4.4 at 200, 1.3 at 999. An arrow key's step of 1 position (a wheel notch's 3) would
// mostly round back to the same tempo and the thumb would snap back where it was: each step
// must reach the next whole tempo at least. Page steps (10 positions) must keep working.
TEST_F(TempoFieldTest, EveryStepOfTheSliderChangesTheTempo) {
  struct StepCase {
    const char* start;
    int positions;
    int bpm;
  };
  const StepCase cases[] = {
      {"200", 1, 201},
      {"200", -1, 199},
      {"4", 1, 5},
      {"5", -1, 4},
      {"60", 3, 61},
      {"60", -3, 59},  // a wheel notch
      {"4", 10, 5},
      {"5", -10, 4},
      {"999", 1, 1000},
      {"1000", 1, 1000},  // already at the
                          // top
      {"4", -1, 4},       // and at the bottom
      {"200", 10, 202},   // 10 positions from 8358: 8368 → 2^8.368 = 330.4 → 202
  };
  for (const StepCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.start << " step " << c.positions);
    Type(kIdTempoEdit, c.start);
    Step(kIdTempoSlider, c.positions);
    EXPECT_EQ(Dialog().Bpm(), c.bpm);
    EXPECT_EQ(At(kIdTempoEdit).text, std::to_string(c.bpm));
    EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(c.bpm));
  }
  // A drag that has not yet reached the next tempo stays where it is.
  Type(kIdTempoEdit, "200");
  Slide(kIdTempoSlider, At(kIdTempoSlider).position + 1, true);
  EXPECT_EQ(Dialog().Bpm(), 200);
}

// Typing "140" passes through "1" and "14", which nobody asked to hear: while playing, a typed
// tempo reaches the engine when the typing pauses (the dialog's timer) or the field loses the
// focus. The slider and the field itself follow every keystroke; stopped, the tempo is taken
// at once as ever. Periods are 10^6 fake ticks per second × 60 / tempo, truncated.
TEST_F(TempoFieldTest, TempoTypedWhilePlayingWaitsForAPauseInTheTyping) {
  const auto period = [this] { return Dialog().Player().TicksPerBeat(); };
  Type(kIdTempoEdit, "100");
  EXPECT_TRUE(m_host.timers.empty());  // stopped: nothing waits
  Click(kIdPlay);
  ASSERT_TRUE(PlayUntilNotes(1));
  ASSERT_EQ(period(), 600'000);

  for (const char* typed : {"1", "14", "140"}) {
    Type(kIdTempoEdit, typed);
    EXPECT_EQ(period(), 600'000) << typed;
    EXPECT_EQ(m_host.timers[MetronomeDialog::kTempoTimer], MetronomeDialog::kTempoTypingPauseMs);
  }
  EXPECT_EQ(Dialog().Bpm(), 140);
  EXPECT_EQ(At(kIdTempoSlider).position, MetronomeDialog::BpmToSlider(140));
  ASSERT_TRUE(m_host.FireTimer(MetronomeDialog::kTempoTimer));
  EXPECT_EQ(period(), 428'571);
  EXPECT_FALSE(Dialog().TempoPending());

  // Leaving the field, or the slider, applies at once and ends the wait.
  Type(kIdTempoEdit, "90");
  LeaveField(kIdTempoEdit);
  EXPECT_EQ(period(), 666'666);
  EXPECT_TRUE(m_host.timers.empty());
  Type(kIdTempoEdit, "7");
  Slide(kIdTempoSlider, MetronomeDialog::BpmToSlider(120), true);
  EXPECT_EQ(period(), 500'000);
  EXPECT_TRUE(m_host.timers.empty());

  // Not restarted: a stop would have reset the device.
  EXPECT_TRUE(Dialog().IsPlaying());
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 0);

  // Stopping with a tempo still waiting keeps that tempo for the next Play.
  Type(kIdTempoEdit, "150");
  Click(kIdPlay);
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 1);
  EXPECT_TRUE(m_host.timers.empty());
  Click(kIdPlay);
  EXPECT_EQ(period(), 400'000);
}

}  // namespace
}  // namespace ticktavo::testing
