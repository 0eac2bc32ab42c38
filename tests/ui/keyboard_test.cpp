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
#include "ui/up_down_ctrl.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

using KeyboardTest = DialogTest;

TEST_F(KeyboardTest, EnterInThePresetNameTogglesPlayAndSavesNothing) {
  QComboBox* presets = m_dialog->PresetCombo();
  presets->setFocus();
  QTest::keyClicks(presets->lineEdit(), QStringLiteral("Waltz"));
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  EXPECT_TRUE(m_dialog->SaveButton()->isDefault());  // the default look while typing a name

  QTest::keyClick(presets->lineEdit(), Qt::Key_Return);
  EXPECT_TRUE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("Sto&p"));
  QTest::keyClick(presets->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_FALSE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("&Play"));

  EXPECT_EQ(m_settings.presetSaves, 0);
  EXPECT_EQ(presets->count(), 0);  // nothing inserted into the list either
  EXPECT_EQ(presets->currentText(), QStringLiteral("Waltz"));
}

TEST_F(KeyboardTest, SaveIsEnabledExactlyWhileANameIsTyped) {
  QComboBox* presets = m_dialog->PresetCombo();
  presets->setFocus();
  QTest::keyClicks(presets->lineEdit(), QStringLiteral("A"));
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  QTest::keyClick(presets->lineEdit(), Qt::Key_Backspace);
  EXPECT_FALSE(m_dialog->SaveButton()->isEnabled());
  // A changed setting takes the default look away again.
  QTest::keyClick(presets->lineEdit(), Qt::Key_C, Qt::AltModifier);
  EXPECT_FALSE(m_dialog->SaveButton()->isDefault());
}

TEST_F(KeyboardTest, EnterTogglesPlayFromEveryControl) {
  const DialogTemplate& dialogTemplate = MainDialogTemplate();
  int tried = 0;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = m_dialog->Control(control.id);
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    widget->setEnabled(true);  // fields of the other styles are disabled at first
    widget->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), widget) << control.id;
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_TRUE(m_dialog->IsPlaying()) << control.id;
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_FALSE(m_dialog->IsPlaying()) << control.id;
    ++tried;
  }
  // 3 radio buttons, 3 fields, Play, 9 instrument lists, 19 sliders, the preset list, Save,
  // Delete and Blink.
  EXPECT_EQ(tried, 39);
  EXPECT_EQ(m_settings.presetSaves, 0);
}

TEST_F(KeyboardTest, AltPPlaysOnceDespiteTheMnemonic) {
  // "&Play" also makes Alt+P a mnemonic; if both acted, the two toggles would cancel out.
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_P, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->IsPlaying());
  EXPECT_TRUE(WaitForNotes(2));
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_P, Qt::AltModifier);
  EXPECT_FALSE(m_dialog->IsPlaying());
}

TEST_F(KeyboardTest, ShiftOrCtrlWithTheLetterIsNoAccelerator) {
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_P, Qt::AltModifier | Qt::ShiftModifier);
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_P, Qt::AltModifier | Qt::ControlModifier);
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_FALSE(m_dialog->IsPlaying());
}

TEST_F(KeyboardTest, StyleKeysSelectTheirButtonAndApplyTheStyle) {
  QWidget* focus = m_dialog->TempoEdit();
  focus->setFocus();

  QTest::keyClick(focus, Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->SimpleMeasureRadio()->isChecked());
  EXPECT_EQ(m_dialog->Style(), MetronomeStyle::SimpleMeasure);
  EXPECT_TRUE(m_dialog->BeatsEdit()->isEnabled());
  EXPECT_TRUE(m_dialog->BeatsUpDown()->isEnabled());
  EXPECT_FALSE(m_dialog->CustomMeasureEdit()->isEnabled());

  QTest::keyClick(focus, Qt::Key_C, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->CustomRadio()->isChecked());
  EXPECT_EQ(m_dialog->Style(), MetronomeStyle::Custom);
  EXPECT_FALSE(m_dialog->BeatsEdit()->isEnabled());
  EXPECT_TRUE(m_dialog->CustomMeasureEdit()->isEnabled());

  QTest::keyClick(focus, Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->StraightRadio()->isChecked());
  EXPECT_FALSE(m_dialog->CustomRadio()->isChecked());
  EXPECT_EQ(m_dialog->Style(), MetronomeStyle::Straight);
  EXPECT_FALSE(m_dialog->CustomMeasureEdit()->isEnabled());
  EXPECT_EQ(QApplication::focusWidget(), focus);  // keys do not move the focus
}

TEST_F(KeyboardTest, AltBTogglesBlinkingInTheBoxAndTheEngine) {
  ASSERT_TRUE(m_dialog->BlinkCheck()->isChecked());
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_B, Qt::AltModifier);
  EXPECT_FALSE(m_dialog->BlinkCheck()->isChecked());
  EXPECT_FALSE(m_dialog->Blinking());
  EXPECT_FALSE(m_dialog->Player().BlinkingEnabled());
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->Player().BlinkingEnabled());
}

TEST_F(KeyboardTest, EscapeChangesNothing) {
  m_dialog->TempoEdit()->setFocus();
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_Escape);
  QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
  EXPECT_TRUE(m_dialog->isVisible());
  EXPECT_FALSE(m_dialog->IsWindowGone());
  EXPECT_EQ(m_settings.mainSaves, 0);
  EXPECT_EQ(m_dialog->TempoEdit()->text(), QStringLiteral("200"));
}

TEST_F(KeyboardTest, AltXClosesAndSavesLikeTheCloseBox) {
  QTest::keyClick(m_dialog->StraightRadio(), Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(m_dialog->isVisible());
  EXPECT_TRUE(m_dialog->IsWindowGone());
  EXPECT_EQ(m_settings.mainSaves, 1);
}

TEST_F(KeyboardTest, CloseBoxSavesOnce) {
  EXPECT_TRUE(m_dialog->close());
  EXPECT_TRUE(m_dialog->IsWindowGone());
  EXPECT_EQ(m_settings.mainSaves, 1);
}

TEST_F(KeyboardTest, UpDownWritesPlainDigitsWithinItsRange) {
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_M, Qt::AltModifier);
  QLineEdit* beats = m_dialog->BeatsEdit();
  beats->setText(QStringLiteral("999"));
  beats->setFocus();
  QTest::keyClick(beats, Qt::Key_Up);
  EXPECT_EQ(beats->text(), QStringLiteral("1000"));
  QTest::keyClick(beats, Qt::Key_Up);
  EXPECT_EQ(beats->text(), QStringLiteral("1000"));
  EXPECT_EQ(m_dialog->GetSequencer().GetMeasure().BeatsPerMeasure(), 1000);
  beats->setText(QStringLiteral("2"));
  m_dialog->BeatsUpDown()->Step(-1);
  m_dialog->BeatsUpDown()->Step(-1);
  EXPECT_EQ(beats->text(), QStringLiteral("1"));
}

TEST_F(KeyboardTest, MeasureFieldTakesOnlyMeasureCharacters) {
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_C, Qt::AltModifier);
  QLineEdit* measure = m_dialog->CustomMeasureEdit();
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
  QTest::keyClick(m_dialog->TempoEdit(), Qt::Key_C, Qt::AltModifier);
  MeasureEdit* measure = m_dialog->CustomMeasureEdit();
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
