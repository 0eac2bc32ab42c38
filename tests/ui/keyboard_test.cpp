// The keyboard: accelerators win over every control and over mnemonics, Enter is Play from
// anywhere in the window, Escape does nothing, Alt+X closes like the close box.

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "store/settings_values.h"
#include "store/stored_settings.h"
#include "ui/measure_edit.h"
#include "ui/up_down_ctrl.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

using KeyboardTest = DialogTest;

TEST_F(KeyboardTest, EnterInThePresetNameTogglesPlayAndSavesNothing) {
  QComboBox* presets = Get<QComboBox>(kIdPresetCombo);
  presets->setFocus();
  QTest::keyClicks(presets->lineEdit(), QStringLiteral("Waltz"));
  EXPECT_TRUE(Get<QPushButton>(kIdSavePreset)->isEnabled());
  EXPECT_TRUE(
      Get<QPushButton>(kIdSavePreset)->isDefault());  // the default look while typing a name

  QTest::keyClick(presets->lineEdit(), Qt::Key_Return);
  EXPECT_TRUE(Dialog().IsPlaying());
  EXPECT_EQ(Get<QPushButton>(kIdPlay)->text(), QStringLiteral("Sto&p"));
  QTest::keyClick(presets->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(Dialog().IsPlaying());
  EXPECT_EQ(Get<QPushButton>(kIdPlay)->text(), QStringLiteral("&Play"));

  EXPECT_EQ(presets->count(), 0);  // nothing saved and inserted into the list
  EXPECT_EQ(presets->currentText(), QStringLiteral("Waltz"));
}

TEST_F(KeyboardTest, SaveIsEnabledExactlyWhileANameIsTyped) {
  QComboBox* presets = Get<QComboBox>(kIdPresetCombo);
  presets->setFocus();
  QTest::keyClicks(presets->lineEdit(), QStringLiteral("A"));
  EXPECT_TRUE(Get<QPushButton>(kIdSavePreset)->isEnabled());
  QTest::keyClick(presets->lineEdit(), Qt::Key_Backspace);
  EXPECT_FALSE(Get<QPushButton>(kIdSavePreset)->isEnabled());
  // A changed setting takes the default look away again.
  QTest::keyClick(presets->lineEdit(), Qt::Key_C, Qt::AltModifier);
  EXPECT_FALSE(Get<QPushButton>(kIdSavePreset)->isDefault());
}

TEST_F(KeyboardTest, EnterTogglesPlayFromEveryControl) {
  const DialogTemplate& dialogTemplate = MainDialogTemplate();
  int tried = 0;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = Window().Control(control.id);
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    widget->setEnabled(true);  // fields of the other styles are disabled at first
    widget->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), widget) << control.id;
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_TRUE(Dialog().IsPlaying()) << control.id;
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_FALSE(Dialog().IsPlaying()) << control.id;
    ++tried;
  }
  // 3 radio buttons, 3 fields, Play, 9 instrument lists, 19 sliders, the preset list, Save,
  // Delete and Blink.
  EXPECT_EQ(tried, 39);
  EXPECT_EQ(Get<QComboBox>(kIdPresetCombo)->count(), 0);
}

TEST_F(KeyboardTest, AltPPlaysOnceDespiteTheMnemonic) {
  // "&Play" also makes Alt+P a mnemonic; if both acted, the two toggles would cancel out.
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_P, Qt::AltModifier);
  EXPECT_TRUE(Dialog().IsPlaying());
  EXPECT_TRUE(WaitForNotes(2));
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_P, Qt::AltModifier);
  EXPECT_FALSE(Dialog().IsPlaying());
}

TEST_F(KeyboardTest, ShiftOrCtrlWithTheLetterIsNoAccelerator) {
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_P, Qt::AltModifier | Qt::ShiftModifier);
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_P, Qt::AltModifier | Qt::ControlModifier);
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_FALSE(Dialog().IsPlaying());
}

TEST_F(KeyboardTest, StyleKeysSelectTheirButtonAndApplyTheStyle) {
  QWidget* focus = Get<QLineEdit>(kIdTempoEdit);
  focus->setFocus();

  QTest::keyClick(focus, Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(Get<QRadioButton>(kIdSimpleMeasure)->isChecked());
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::SimpleMeasure);
  EXPECT_TRUE(Get<QLineEdit>(kIdBeatsEdit)->isEnabled());
  EXPECT_TRUE(Get<UpDownCtrl>(kIdBeatsUpDown)->isEnabled());
  EXPECT_FALSE(Get<MeasureEdit>(kIdCustomMeasure)->isEnabled());

  QTest::keyClick(focus, Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(Get<QRadioButton>(kIdCustom)->isChecked());
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Custom);
  EXPECT_FALSE(Get<QLineEdit>(kIdBeatsEdit)->isEnabled());
  EXPECT_TRUE(Get<MeasureEdit>(kIdCustomMeasure)->isEnabled());

  QTest::keyClick(focus, Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(Get<QRadioButton>(kIdStraight)->isChecked());
  EXPECT_FALSE(Get<QRadioButton>(kIdCustom)->isChecked());
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Straight);
  EXPECT_FALSE(Get<MeasureEdit>(kIdCustomMeasure)->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), focus);  // keys do not move the focus
}

TEST_F(KeyboardTest, AltBTogglesBlinkingInTheBoxAndTheEngine) {
  ASSERT_TRUE(Get<QCheckBox>(kIdBlink)->isChecked());
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_B, Qt::AltModifier);
  EXPECT_FALSE(Get<QCheckBox>(kIdBlink)->isChecked());
  EXPECT_FALSE(Dialog().Blinking());
  EXPECT_FALSE(Dialog().Player().BlinkingEnabled());
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(Dialog().Player().BlinkingEnabled());
}

TEST_F(KeyboardTest, EscapeChangesNothing) {
  Get<QLineEdit>(kIdTempoEdit)->setFocus();
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_Escape);
  QTest::keyClick(&Window(), Qt::Key_Escape);
  EXPECT_TRUE(Window().isVisible());
  EXPECT_FALSE(Dialog().IsWindowGone());
  EXPECT_EQ(Get<QLineEdit>(kIdTempoEdit)->text(), QStringLiteral("200"));
}

TEST_F(KeyboardTest, AltXAndTheCloseBoxCloseAndSave) {
  QTest::keyClick(Get<QRadioButton>(kIdStraight), Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(Window().isVisible());
  EXPECT_TRUE(Dialog().IsWindowGone());
  {
    OpenKey key(m_registry);
    ASSERT_EQ(key.Open(Registry::kCurrentUser, SettingsKey, RegAccess::kRead), RegResult::kSuccess);
    EXPECT_EQ(ReadDword(m_registry, key.Get(), kBpMinuteValue, 0), 200);
  }

  TearDown();
  SetUp();
  EXPECT_TRUE(Window().close());
  EXPECT_TRUE(Dialog().IsWindowGone());
}

TEST_F(KeyboardTest, UpDownWritesPlainDigitsWithinItsRange) {
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_M, Qt::AltModifier);
  QLineEdit* beats = Get<QLineEdit>(kIdBeatsEdit);
  beats->setText(QStringLiteral("999"));
  beats->setFocus();
  QTest::keyClick(beats, Qt::Key_Up);
  EXPECT_EQ(beats->text(), QStringLiteral("1000"));
  QTest::keyClick(beats, Qt::Key_Up);
  EXPECT_EQ(beats->text(), QStringLiteral("1000"));
  EXPECT_EQ(Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 1000);
  beats->setText(QStringLiteral("2"));
  Get<UpDownCtrl>(kIdBeatsUpDown)->Step(-1);
  Get<UpDownCtrl>(kIdBeatsUpDown)->Step(-1);
  EXPECT_EQ(beats->text(), QStringLiteral("1"));
}

TEST_F(KeyboardTest, MeasureFieldTakesOnlyMeasureCharacters) {
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_C, Qt::AltModifier);
  QLineEdit* measure = Get<MeasureEdit>(kIdCustomMeasure);
  measure->clear();
  measure->setFocus();
  QTest::keyClicks(measure, QStringLiteral("1a(2 3)x-0"));
  EXPECT_EQ(measure->text(), QStringLiteral("1(2 3)0"));
  QTest::keyClick(measure, Qt::Key_Backspace);
  EXPECT_EQ(measure->text(), QStringLiteral("1(2 3)"));
}

// Characters can also arrive from an input method (a compose key, an on-screen keyboard, a
// full-width digit from an Asian input method): they are typed all the same and are filtered
// the same way. Only what the method commits counts; its preview is not text yet.
TEST_F(KeyboardTest, MeasureFieldFiltersWhatAnInputMethodCommits) {
  QTest::keyClick(Get<QLineEdit>(kIdTempoEdit), Qt::Key_C, Qt::AltModifier);
  MeasureEdit* measure = Get<MeasureEdit>(kIdCustomMeasure);
  measure->clear();
  measure->setFocus();
  struct Commit {
    const char16_t* text;
    const char* expected;  // the whole field afterwards
  };
  const Commit commits[] = {
      {u"1", "1"},          {u"\u00e9", "1"},  // é from a compose key
      {u"(2a3)", "1(23)"},                     // a letter inside is dropped, the rest stays
      {u"\uff14", "1(23)"},                    // full-width 4
      {u" 0", "1(23) 0"},
  };
  for (const Commit& commit : commits) {
    SCOPED_TRACE(QString::fromUtf16(commit.text).toStdString());
    QInputMethodEvent event;
    event.setCommitString(QString::fromUtf16(commit.text));
    QApplication::sendEvent(measure, &event);
    EXPECT_EQ(measure->text().toStdString(), commit.expected);
  }
}

}  // namespace
}  // namespace ticktavo::testing
