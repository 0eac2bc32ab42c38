// The main window as a whole: its layout from the template, the voice rows, the transport
// with the real engine, the device error at start-up, and closing while playing.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "ui/blinker_static.h"
#include "ui/dialog_builder.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

TEST(DialogUnits, ConvertWithTheFontsBaseUnitsRounded) {
  // With the base units of the classic 8-point dialog font (6 × 13 pixels): 186 units across
  // are 186 × 6 / 4 = 279 pixels, 268 down are 268 × 13 / 8 = 435.5 → 436.
  const DialogUnits units{6, 13};
  EXPECT_EQ(units.X(186), 279);
  EXPECT_EQ(units.Y(268), 436);
  EXPECT_EQ(units.ToPixels(7, 7, 79, 10), QRect(11, 11, 119, 16));  // 10.5 and 16.25 rounded
}

using WindowTest = DialogTest;

TEST_F(WindowTest, TitleFlagsAndSizeFollowTheTemplate) {
  EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ticktavo"));
  const Qt::WindowFlags flags = m_dialog->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window);  // its own taskbar entry
  EXPECT_FALSE(m_dialog->isModal());
  EXPECT_FALSE(m_dialog->windowIcon().isNull());

  const DialogUnits units = DialogUnitsFor(MainDialogTemplate(), m_dialog->font());
  const DialogUnits fontUnits = DialogUnitsForFont(m_dialog->font());
  EXPECT_GE(units.baseX, fontUnits.baseX);
  EXPECT_EQ(units.baseY, fontUnits.baseY);
  EXPECT_EQ(m_dialog->size(), QSize(units.X(186), units.Y(268)));
  const QRect client = m_dialog->rect();
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    QWidget* widget = m_dialog->Control(control.id);
    ASSERT_NE(widget, nullptr) << control.id;
    if (control.kind != ControlKind::kComboDropDown &&
        control.kind != ControlKind::kComboDropList) {
      EXPECT_TRUE(client.contains(widget->geometry())) << control.id;
    }
  }
  // Icon statics take their icon's size plus the sunken edge.
  EXPECT_EQ(m_dialog->MainBlinker()->size(), QSize(36, 36));
  EXPECT_EQ(m_dialog->VoiceBlinker(0)->size(), QSize(20, 20));
}

TEST_F(WindowTest, CaptionsAreNotClipped) {
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    if (control.kind != ControlKind::kRadioButton && control.kind != ControlKind::kCheckBox &&
        control.kind != ControlKind::kStaticText) {
      continue;
    }
    QWidget* widget = m_dialog->Control(control.id);
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->wordWrap()) {
      EXPECT_LE(label->heightForWidth(label->width()), label->height()) << control.id;
    } else {
      EXPECT_LE(widget->sizeHint().width(), widget->width()) << control.id;
    }
  }
}

TEST_F(WindowTest, TabFollowsTheTemplateOrder) {
  std::vector<QWidget*> expected;
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    QWidget* widget = m_dialog->Control(control.id);
    widget->setEnabled(true);
    if (widget->focusPolicy() & Qt::TabFocus) expected.push_back(widget);
  }
  ASSERT_FALSE(expected.empty());
  QWidget* first = expected.front();
  first->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), first);
  std::size_t at = 0;
  for (int step = 1; step < 60; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // Leaving the tempo field deselects the preset and so disables Delete: Tab passes over
    // what is disabled at the time.
    do {
      at = (at + 1) % expected.size();
    } while (!expected[at]->isEnabled());
    QWidget* focus = QApplication::focusWidget();
    // An editable combo gives the focus to its own edit field.
    if (focus != nullptr && focus->parentWidget() == m_dialog->PresetCombo()) {
      focus = m_dialog->PresetCombo();
    }
    ASSERT_EQ(focus, expected[at])
        << "step " << step << ": " << (focus ? focus->objectName().toStdString() : "none")
        << " instead of " << expected[at]->objectName().toStdString();
  }
}

TEST_F(WindowTest, InitialisationFillsTheListsRangesAndToolTips) {
  for (int n = 0; n < kVoiceCount; ++n) {
    QComboBox* combo = m_dialog->InstrumentCombo(n);
    ASSERT_EQ(combo->count(), 47);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("High Agogo"));
    EXPECT_EQ(combo->itemText(7), QStringLiteral("hand clap"));
    EXPECT_EQ(combo->itemText(46), QStringLiteral("Low Wood Block"));
    EXPECT_EQ(m_dialog->VolumeSlider(n)->maximum(), 127);
    EXPECT_EQ(m_dialog->BlinkSizeSlider(n)->maximum(), 8);
    EXPECT_EQ(m_dialog->VolumeSlider(n)->toolTip(), QStringLiteral("Set the volume of this voice"));
    EXPECT_EQ(m_dialog->VoiceBlinker(n)->toolTip(),
              QStringLiteral("The size of the blinker for this voice"));
  }
  // Voice 3's default is the low wood block, the last row.
  EXPECT_EQ(m_dialog->InstrumentCombo(2)->currentIndex(), 46);
  EXPECT_EQ(m_dialog->TempoSlider()->minimum(), 7044);
  EXPECT_EQ(m_dialog->TempoSlider()->maximum(), 10140);
  EXPECT_EQ(m_dialog->PlayButton()->toolTip(), QStringLiteral("Start the metronome (Enter)"));
  EXPECT_EQ(m_dialog->PresetCombo()->toolTip(),
            QStringLiteral("Choose a preset from the list or type a name to save a new one"));
  EXPECT_EQ(m_dialog->StraightRadio()->toolTip(), QStringLiteral("A plain beat using voice #1"));
  EXPECT_EQ(m_settings.loads, 1);
}

TEST_F(WindowTest, InstrumentChoiceClearsThePresetAndIsHeard) {
  m_dialog->PresetCombo()->addItem(QStringLiteral("Waltz"));
  m_dialog->PresetCombo()->setCurrentIndex(0);
  QComboBox* combo = m_dialog->InstrumentCombo(0);
  combo->setCurrentIndex(6);  // set by the program: no handler
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), 0);
  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);  // the user picks row 7, "hand clap"
  EXPECT_EQ(m_dialog->Voices().m_instrument[0], 4);
  EXPECT_EQ(m_dialog->PresetCombo()->currentIndex(), -1);
  EXPECT_FALSE(m_dialog->DeleteButton()->isEnabled());

  m_dialog->TogglePlay();
  ASSERT_TRUE(WaitForNotes(1));
  m_dialog->TogglePlay();
  // Straight style plays voice 1: hand clap is note 4 + 35 = 39, at full volume.
  EXPECT_EQ(m_midi.Messages().front(), NoteOnMessage(39, 127));
}

TEST_F(WindowTest, SliderMovesEnableSaveAndKeepThePreset) {
  m_dialog->PresetCombo()->addItem(QStringLiteral("Waltz"));
  m_dialog->PresetCombo()->setCurrentIndex(0);
  m_dialog->SaveButton()->setEnabled(false);

  QSlider* volume = m_dialog->VolumeSlider(1);
  volume->setFocus();
  QTest::keyClick(volume, Qt::Key_Left);
  EXPECT_EQ(m_dialog->Voices().m_volume[1], 126);
  EXPECT_TRUE(m_dialog->SaveButton()->isEnabled());
  EXPECT_EQ(m_dialog->PresetCombo()->currentText(), QStringLiteral("Waltz"));
  EXPECT_TRUE(m_dialog->DeleteButton()->isEnabled());
}

TEST_F(WindowTest, BlinkSizeSliderSetsTheVoiceBlinker) {
  QSlider* size = m_dialog->BlinkSizeSlider(2);
  BlinkerStatic* blinker = m_dialog->VoiceBlinker(2);
  ASSERT_EQ(blinker->Frame(), 8);
  size->setFocus();
  QTest::keyClick(size, Qt::Key_Home);
  EXPECT_EQ(blinker->Frame(), 0);
  EXPECT_EQ(m_dialog->Voices().m_blinkSize[2], 0);
  QTest::keyClick(size, Qt::Key_End);
  EXPECT_EQ(blinker->Frame(), 8);
  EXPECT_EQ(blinker->pixmap().size(), QSize(16, 16));
  EXPECT_EQ(m_dialog->VoiceBlinker(1)->Frame(), 8);  // its neighbours are untouched
}

TEST_F(WindowTest, OutOfRangeVoiceValuesAreKeptInRange) {
  m_dialog->SetVoiceInstrument(4, 47);
  EXPECT_EQ(m_dialog->Voices().m_instrument[4], 0);  // voice 5's default
  m_dialog->SetVoiceInstrument(0, -1);
  EXPECT_EQ(m_dialog->Voices().m_instrument[0], 2);  // voice 1's default, side stick
  m_dialog->SetVoiceVolume(1, 500);
  EXPECT_EQ(m_dialog->Voices().m_volume[1], 127);
  m_dialog->SetVoiceBlinkSize(2, 9);
  EXPECT_EQ(m_dialog->VoiceBlinker(2)->Frame(), 8);
}

TEST_F(WindowTest, PlayLightsTheMainBlinkerAndStopBlanksIt) {
  QTest::mouseClick(m_dialog->PlayButton(), Qt::LeftButton);
  ASSERT_TRUE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->toolTip(), QStringLiteral("Stop the metronome (Enter)"));
  ASSERT_TRUE(WaitForNotes(3));
  // Straight style, voice 1 defaults: side stick (note 37) at velocity 127, blink size 8.
  EXPECT_EQ(m_midi.Messages()[0], NoteOnMessage(37, 127));
  EXPECT_GT(m_dialog->MainBlinker()->PictureChanges(), 0);
  QTest::mouseClick(m_dialog->PlayButton(), Qt::LeftButton);
  EXPECT_FALSE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->MainBlinker()->Frame(), 0);
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("&Play"));
}

TEST_F(WindowTest, RefusedCustomMeasureShowsItsBoxAndStaysStopped) {
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_C, Qt::AltModifier);
  m_dialog->CustomMeasureEdit()->setText(QStringLiteral("12)"));
  SeenBox box;
  AnswerNextBox(box);
  QTest::keyClick(m_dialog->CustomMeasureEdit(), Qt::Key_Return);
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Custom Measure Definition Error"));
  EXPECT_EQ(box.text,
            QStringLiteral("Make sure you don't have any mismatched parentheses in your measure "
                           "definition"));
  EXPECT_TRUE(box.critical);
  EXPECT_EQ(box.parent, m_dialog.get());
  EXPECT_FALSE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("&Play"));
  EXPECT_EQ(m_dialog->Player().QueuedBeats(), 0);
  EXPECT_FALSE(m_dialog->Player().Running());
}

TEST_F(WindowTest, ClosingWhilePlayingLeavesTheEngineToTheEnd) {
  m_dialog->TogglePlay();
  ASSERT_TRUE(WaitForNotes(2));
  QTest::keyClick(m_dialog->PlayButton(), Qt::Key_X, Qt::AltModifier);
  EXPECT_TRUE(m_dialog->IsWindowGone());
  EXPECT_EQ(m_settings.mainSaves, 1);
  // Closing does not stop the engine; deleting the window does, after its widgets are gone.
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 0);
  QCoreApplication::processEvents();
  m_dialog.reset();
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kClose), 1);
}

TEST_F(WindowTest, SendErrorFromTheTimingThreadIsShownOverTheWindow) {
  m_midi.FailShortMsg(1, kMidiError);  // the second beat cannot be sent
  SeenBox box;
  AnswerNextBox(box);
  m_dialog->TogglePlay();
  ASSERT_TRUE(QTest::qWaitFor([&] { return box.seen; }, 10000));
  EXPECT_EQ(box.title, QStringLiteral("Midi Error"));
  EXPECT_EQ(box.text, QStringLiteral("Error sending Midi message to device"));
  EXPECT_TRUE(box.critical);
  EXPECT_EQ(box.parent, m_dialog.get());
  // The engine stopped itself; the window learns of it only when the user presses Stop.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialog->Player().Running(); }, 10000));
  EXPECT_TRUE(m_dialog->IsPlaying());
  EXPECT_EQ(m_dialog->PlayButton()->text(), QStringLiteral("Sto&p"));
  m_dialog->TogglePlay();
  // And the next start plays again.
  m_dialog->TogglePlay();
  EXPECT_TRUE(WaitForNotes(3));
  m_dialog->TogglePlay();
}

TEST(WindowStartUp, NothingLoadedLeavesTheTemplatesInitialState) {
  MonotonicClock clock;
  RecordingMidiOut midi;
  NoSettings settings;
  MetronomeDialog dialog(clock, midi, settings);
  dialog.Create();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  for (int n = 0; n < kVoiceCount; ++n) {
    EXPECT_EQ(dialog.InstrumentCombo(n)->count(), 47);
    EXPECT_EQ(dialog.InstrumentCombo(n)->currentIndex(), -1);  // no row chosen yet
  }
  EXPECT_FALSE(dialog.StraightRadio()->isChecked());
  EXPECT_FALSE(dialog.BeatsEdit()->isEnabled());
  EXPECT_FALSE(dialog.CustomMeasureEdit()->isEnabled());
  EXPECT_TRUE(dialog.PlayButton()->isEnabled());
  EXPECT_EQ(dialog.PlayButton()->text(), QStringLiteral("&Play"));
  EXPECT_EQ(dialog.MainBlinker()->Frame(), 0);
  EXPECT_EQ(QApplication::focusWidget(), dialog.StraightRadio());
}

TEST(WindowStartUp, DeviceErrorIsShownBeforeTheWindowWithoutOwner) {
  MonotonicClock clock;
  RecordingMidiOut midi(0);  // no device at all
  FakeSettings settings;
  SeenBox box;
  AnswerNextBox(box);
  MetronomeDialog dialog(clock, midi, settings);
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.title, QStringLiteral("Midi Error"));
  EXPECT_EQ(box.text,
            QStringLiteral("Can't find a MIDI device!  Are your sound card and driver properly "
                           "installed?"));
  EXPECT_EQ(box.parent, nullptr);
  EXPECT_FALSE(dialog.isVisible());

  // The window still opens and Play goes through its steps without sound.
  dialog.Create();
  EXPECT_TRUE(dialog.isVisible());
  dialog.TogglePlay();
  EXPECT_TRUE(dialog.IsPlaying());
  EXPECT_EQ(dialog.Player().QueuedBeats(), 2);
  dialog.TogglePlay();
  EXPECT_EQ(midi.Count(RecordingMidiOut::Op::kShortMsg), 0);
}

}  // namespace
}  // namespace ticktavo::testing
