// The tempo controls: the logarithmic slider mapping, the typed tempo and its clamp, focus
// loss, and the slider's snapping to whole tempos.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

// Positions are 1000 × log2(bpm + 128), rounded: log2(132) = 7.04439 → 7044,
// log2(188) = 7.55459 → 7555, log2(248) = 7.95420 → 7954, log2(256) = 8 exactly → 8000,
// log2(1128) = 10.13955 → 10140.
struct MappingCase {
  int bpm;
  int position;
};
class TempoMappingTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(TempoMappingTest, KnownPositions) {
  EXPECT_EQ(MetronomeDialog::BpmToSlider(GetParam().bpm), GetParam().position);
  EXPECT_EQ(MetronomeDialog::SliderToBpm(GetParam().position), GetParam().bpm);
}

INSTANTIATE_TEST_SUITE_P(Examples, TempoMappingTest,
                         ::testing::Values(MappingCase{4, 7044}, MappingCase{60, 7555},
                                           MappingCase{120, 7954}, MappingCase{128, 8000},
                                           MappingCase{1000, 10140}));

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

using TempoFieldTest = DialogTest;

struct TypedCase {
  const char* typed;
  int bpm;
  int position;
};

TEST_F(TempoFieldTest, TypedTempoIsClampedButTheTextStaysUntilFocusLeaves) {
  const TypedCase cases[] = {
      {"2", 4, 7044},         // below the range
      {"5000", 1000, 10140},  // above it
      {"120", 120, 7954},     // inside
      {"", 4, 7044},          // nothing typed reads as 0
  };
  QLineEdit* edit = m_dialog->TempoEdit();
  for (const TypedCase& c : cases) {
    SCOPED_TRACE(c.typed);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(m_dialog->Bpm(), c.bpm);
    EXPECT_EQ(m_dialog->TempoSlider()->value(), c.position);
    EXPECT_EQ(edit->text(), QString::fromLatin1(c.typed));
    EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  }
}

TEST_F(TempoFieldTest, NegativeTextCountsAsAboveTheTop) {
  // Loaded or pasted text can carry a sign; the unsigned comparison puts -5 above 1000.
  m_dialog->TempoEdit()->setText(QStringLiteral("-5"));
  EXPECT_EQ(m_dialog->Bpm(), 1000);
}

TEST_F(TempoFieldTest, FocusLossRewritesTheFieldAndDeselectsThePreset) {
  m_dialog->PresetCombo()->addItem(QStringLiteral("Waltz"));
  m_dialog->PresetCombo()->setCurrentIndex(0);
  QLineEdit* edit = m_dialog->TempoEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("2"));
  EXPECT_EQ(edit->text(), QStringLiteral("2"));
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Waltz"));

  m_dialog->PlayButton()->setFocus();  // focus leaves the field
  EXPECT_EQ(edit->text(), QStringLiteral("4"));
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), -1);
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QString());
  EXPECT_FALSE(m_dialog->DeleteButton()->isEnabled());
}

TEST_F(TempoFieldTest, SliderEndsAndSnapping) {
  QSlider* slider = m_dialog->TempoSlider();
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Home);
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("4"));
  QTest::keyClick(slider, Qt::Key_End);
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("1000"));
  EXPECT_EQ(m_dialog->Bpm(), 1000);

  // A drag to 7050 shows tempo 5 and the thumb jumps to tempo 5's own place.
  slider->setSliderPosition(7050);
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("5"));
  EXPECT_EQ(slider->value(), 7055);
  EXPECT_EQ(m_dialog->Bpm(), 5);
}

// One whole tempo lies 1000 × log2((b + 129) / (b + 128)) positions from the next: 10.9 at
// 4 bpm, 4.4 at 200, 1.3 at 999. An arrow key's step of 1 position (a wheel notch's 3) would
// mostly round back to the same tempo and the thumb would snap back where it was: each step
// must reach the next whole tempo at least. Page keys (10 positions) must keep working.
struct StepCase {
  const char* start;
  Qt::Key key;
  int bpm;
};

TEST_F(TempoFieldTest, EveryKeyStepOfTheSliderChangesTheTempo) {
  const StepCase cases[] = {
      {"200", Qt::Key_Right, 201},   {"200", Qt::Key_Left, 199}, {"4", Qt::Key_Right, 5},
      {"5", Qt::Key_Left, 4},        {"60", Qt::Key_Up, 61},     {"60", Qt::Key_Down, 59},
      {"4", Qt::Key_PageUp, 5},      {"5", Qt::Key_PageDown, 4}, {"999", Qt::Key_Right, 1000},
      {"1000", Qt::Key_Right, 1000},  // already at the top
      {"4", Qt::Key_Left, 4},         // and at the bottom
      {"200", Qt::Key_PageUp, 202},   // 10 positions from 8358: 8368 → 2^8.368 = 330.4 → 202
  };
  QSlider* slider = m_dialog->TempoSlider();
  for (const StepCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.start << " key " << c.key);
    m_dialog->TempoEdit()->setText(QString::fromLatin1(c.start));
    slider->setFocus();
    QTest::keyClick(slider, c.key);
    EXPECT_EQ(m_dialog->Bpm(), c.bpm);
    EXPECT_EQ(m_dialog->TempoEdit()->text().toStdString(), std::to_string(c.bpm));
    EXPECT_EQ(slider->value(), MetronomeDialog::BpmToSlider(c.bpm));
  }
}

TEST_F(TempoFieldTest, WheelStepsOfTheSliderChangeTheTempo) {
  // At 60 bpm the next tempo is 7.7 positions away; a notch scrolls 3 positions.
  QSlider* slider = m_dialog->TempoSlider();
  m_dialog->TempoEdit()->setText(QStringLiteral("60"));
  const QPoint centre = slider->rect().center();
  QWheelEvent up(centre, slider->mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                 Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(slider, &up);
  EXPECT_EQ(m_dialog->Bpm(), 61);
  EXPECT_EQ(slider->value(), MetronomeDialog::BpmToSlider(61));
}

TEST_F(TempoFieldTest, TempoTypedWhilePlayingChangesThePeriodAtOnce) {
  m_dialog->TogglePlay();
  ASSERT_TRUE(m_dialog->IsPlaying());
  ASSERT_TRUE(WaitForNotes(1));
  QLineEdit* edit = m_dialog->TempoEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("120"));
  // 10^9 ns per second × 60 / 120 beats per minute.
  EXPECT_EQ(m_dialog->Player().TicksPerBeat(), 500'000'000);
  // Not restarted: a stop would have reset the device.
  EXPECT_TRUE(m_dialog->IsPlaying());
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 0);
  m_dialog->TogglePlay();
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 1);
}

}  // namespace
}  // namespace ticktavo::testing
