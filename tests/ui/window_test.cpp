// The main window in Qt: its layout from the template, each control's signal reaching the
// dialog, each of the dialog's calls reaching its widget, the engine's calls coming over from
// the timing thread, message boxes and closing.

#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "res/dialog_template.h"
#include "store/settings_values.h"
#include "store/stored_settings.h"
#include "ui/blinker_static.h"
#include "ui/dialog_builder.h"
#include "ui/up_down_ctrl.h"
#include "ui_test_support.h"

namespace ticktavo::testing {
namespace {

using MainWindowTest = DialogTest;

TEST_F(MainWindowTest, TitleFlagsAndSizeFollowTheTemplate) {
  EXPECT_EQ(Window().windowTitle(), QStringLiteral("Ticktavo"));
  const Qt::WindowFlags flags = Window().windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window);  // its own taskbar entry
  EXPECT_FALSE(Window().isModal());
  EXPECT_FALSE(Window().windowIcon().isNull());

  const DialogUnits units = DialogUnitsFor(MainDialogTemplate(), Window().font());
  const DialogUnits fontUnits = DialogUnitsForFont(Window().font());
  EXPECT_GE(units.baseX, fontUnits.baseX);
  EXPECT_EQ(units.baseY, fontUnits.baseY);
  EXPECT_EQ(Window().size(), QSize(units.X(186), units.Y(268)));
  const QRect client = Window().rect();
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    QWidget* widget = Window().Control(control.id);
    ASSERT_NE(widget, nullptr) << control.id;
    if (control.kind != ControlKind::kComboDropDown &&
        control.kind != ControlKind::kComboDropList) {
      EXPECT_TRUE(client.contains(widget->geometry())) << control.id;
    }
  }
  // Icon statics take their icon's size plus the sunken edge.
  EXPECT_EQ(Get<BlinkerStatic>(kIdMainBlinker)->size(), QSize(36, 36));
  EXPECT_EQ(Get<BlinkerStatic>(kIdVoiceBlinker[0])->size(), QSize(20, 20));
  // The dialog's start: Straight has the focus.
  EXPECT_EQ(QApplication::focusWidget(), Window().Control(kIdStraight));
}

TEST_F(MainWindowTest, CaptionsAreNotClipped) {
  for (const ControlTemplate& control : MainDialogTemplate().controls) {
    if (control.kind != ControlKind::kRadioButton && control.kind != ControlKind::kCheckBox &&
        control.kind != ControlKind::kStaticText) {
      continue;
    }
    QWidget* widget = Window().Control(control.id);
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->wordWrap()) {
      EXPECT_LE(label->heightForWidth(label->width()), label->height()) << control.id;
    } else {
      EXPECT_LE(widget->sizeHint().width(), widget->width()) << control.id;
    }
  }
}

// Each kind of control reaches the dialog through the signal of the user's own change.
TEST_F(MainWindowTest, TheUsersChangesReachTheDialog) {
  QTest::mouseClick(Get<QRadioButton>(kIdSimpleMeasure), Qt::LeftButton);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::SimpleMeasure);
  EXPECT_TRUE(Get<QLineEdit>(kIdBeatsEdit)->isEnabled());
  Type(Get<QLineEdit>(kIdBeatsEdit), QStringLiteral("\b7"));
  EXPECT_EQ(Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 7);
  Get<UpDownCtrl>(kIdBeatsUpDown)->Step(+1);  // the arrows write into the field
  EXPECT_EQ(Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 8);

  Type(Get<QLineEdit>(kIdTempoEdit), QStringLiteral("\b\b\b90"));
  EXPECT_EQ(Dialog().Bpm(), 90);
  EXPECT_EQ(Get<QSlider>(kIdTempoSlider)->value(), MetronomeDialog::BpmToSlider(90));
  Get<QPushButton>(kIdPlay)->setFocus();  // the tempo field loses the focus
  EXPECT_FALSE(Get<QPushButton>(kIdDeletePreset)->isEnabled());

  auto* combo = Get<QComboBox>(kIdVoiceInstrument[0]);
  combo->setFocus();
  const int row = combo->currentIndex();  // Side Stick
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_EQ(Dialog().Voices().m_instrument[0],
            PercussionTable::comboToInstrument[static_cast<std::size_t>(row - 1)]);

  auto* volume = Get<QSlider>(kIdVoiceVolume[1]);
  volume->setFocus();
  QTest::keyClick(volume, Qt::Key_Left);
  EXPECT_EQ(Dialog().Voices().m_volume[1], 126);
  auto* size = Get<QSlider>(kIdVoiceBlinkSize[2]);
  size->setFocus();
  QTest::keyClick(size, Qt::Key_Home);
  EXPECT_EQ(Get<BlinkerStatic>(kIdVoiceBlinker[2])->Frame(), 0);
  QTest::keyClick(size, Qt::Key_End);
  EXPECT_EQ(Get<BlinkerStatic>(kIdVoiceBlinker[2])->pixmap().size(), QSize(16, 16));

  QTest::mouseClick(Get<QCheckBox>(kIdBlink), Qt::LeftButton);
  EXPECT_FALSE(Dialog().Player().BlinkingEnabled());
  EXPECT_TRUE(Get<QPushButton>(kIdSavePreset)->isEnabled());
}

// A field set by the dialog itself (loading, the tempo slider) is not the user's change: the
// field's handler runs once, from the dialog, not again from the widget's signal.
TEST_F(MainWindowTest, TheDialogsOwnChangesDoNotComeBackAsTheUsers) {
  auto* presets = Get<QComboBox>(kIdPresetCombo);
  presets->addItem(QStringLiteral("Waltz"));
  presets->setCurrentIndex(0);
  // The slider's step sets the tempo field; a change coming back from the field would still
  // keep the preset, but the edit would have run twice (Save enabled by both).
  auto* slider = Get<QSlider>(kIdTempoSlider);
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Right);
  EXPECT_EQ(Get<QLineEdit>(kIdTempoEdit)->text(), QStringLiteral("201"));
  EXPECT_EQ(presets->currentText(), QStringLiteral("Waltz"));
  // Selecting an instrument from the dialog runs no handler (it would clear the preset).
  Dialog().SetVoiceInstrument(0, 5);
  EXPECT_EQ(presets->currentIndex(), 0);
  EXPECT_EQ(Get<QComboBox>(kIdVoiceInstrument[0])->currentIndex(),
            PercussionTable::instrumentToCombo[5]);
}

// A wheel turned while the pointer passes over a list or a slider changes nothing there;
// once the user has clicked or tabbed to the control, the wheel works on it.
TEST_F(MainWindowTest, TheWheelMovesOnlyTheControlWithTheFocus) {
  const auto turn = [](QWidget* widget) {
    const QPointF inside(5, 5);
    QWheelEvent wheel(inside, widget->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
  };
  struct Case {
    int id;
    std::function<int()> value;
  };
  const Case cases[] = {
      {kIdVoiceInstrument[0], [this] { return Dialog().Voices().m_instrument[0]; }},
      {kIdVoiceVolume[0], [this] { return Dialog().Voices().m_volume[0]; }},
      {kIdVoiceBlinkSize[0], [this] { return Dialog().Voices().m_blinkSize[0]; }},
      {kIdTempoSlider, [this] { return Dialog().Bpm(); }},
  };
  // Away from the ends of their ranges, so a notch either way shows.
  Dialog().SetVoiceInstrument(0, 20);
  Dialog().SetVoiceVolume(0, 64);
  Dialog().SetVoiceBlinkSize(0, 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    QWidget* widget = Window().Control(c.id);
    Window().Control(kIdStraight)->setFocus();
    const int before = c.value();
    turn(widget);
    EXPECT_EQ(c.value(), before);
    EXPECT_FALSE(widget->hasFocus());  // the wheel does not take the focus either
    widget->setFocus();
    turn(widget);
    EXPECT_NE(c.value(), before);
  }
}

// While playing, the tempo typed reaches the engine once the typing pauses (the window's
// timer), not at the keystrokes on the way.
TEST_F(MainWindowTest, TypedTempoReachesTheEngineWhenTheTypingPauses) {
  QTest::mouseClick(Get<QPushButton>(kIdPlay), Qt::LeftButton);
  ASSERT_TRUE(WaitForNotes(1));
  const std::int64_t at200 = Dialog().Player().TicksPerBeat();
  auto* edit = Get<QLineEdit>(kIdTempoEdit);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("14"));
  EXPECT_TRUE(Dialog().TempoPending());
  EXPECT_EQ(Dialog().Player().TicksPerBeat(), at200);
  EXPECT_TRUE(QTest::qWaitFor([this] { return !Dialog().TempoPending(); }, 5000));
  EXPECT_EQ(Dialog().Player().TicksPerBeat(), at200 * 200 / 14);
  EXPECT_TRUE(edit->hasFocus());
}

TEST_F(MainWindowTest, TheDialogsCallsReachTheirWidgets) {
  QtControls controls;
  controls.Attach(BuildDialog(MainDialogTemplate(), Window(), DialogUnits{6, 13}));
  controls.SetChecked(kIdSimpleMeasure, true);
  controls.SetChecked(kIdSimpleMeasure, false);  // a radio button can be cleared on its own
  EXPECT_FALSE(controls.IsChecked(kIdSimpleMeasure));
  controls.InsertItem(kIdPresetCombo, -1, "b");
  controls.InsertItem(kIdPresetCombo, 0, "a");
  controls.SetSelection(kIdPresetCombo, 1);
  EXPECT_EQ(controls.Text(kIdPresetCombo), "b");
  controls.SetText(kIdPresetCombo, "typed");
  controls.SetSelection(kIdPresetCombo, 1);  // the same item again shows its name again
  EXPECT_EQ(controls.Text(kIdPresetCombo), "b");
  controls.SetSelection(kIdPresetCombo, 5);
  EXPECT_EQ(controls.Selection(kIdPresetCombo), -1);
  EXPECT_EQ(controls.Text(kIdPresetCombo), "");
  controls.SetRange(kIdVoiceVolume[0], 0, 127);
  controls.SetPosition(kIdVoiceVolume[0], 200);
  EXPECT_EQ(controls.Position(kIdVoiceVolume[0]), 127);
  controls.SetPosition(kIdBeatsUpDown, 12);
  EXPECT_EQ(controls.Position(kIdBeatsUpDown), 12);
  controls.SetDefaultButton(kIdSavePreset);
  EXPECT_TRUE(static_cast<QPushButton*>(controls.Control(kIdSavePreset))->isDefault());
  controls.SetDefaultButton(0);
  EXPECT_FALSE(static_cast<QPushButton*>(controls.Control(kIdSavePreset))->isDefault());
  controls.SetFrame(kIdMainBlinker, 4);
  EXPECT_EQ(static_cast<BlinkerStatic*>(controls.Control(kIdMainBlinker))->Frame(), 4);
  controls.SetPlace(kIdTempoLabel, Rect{3, 4, 50, 12});
  EXPECT_EQ(controls.Control(kIdTempoLabel)->geometry(), QRect(3, 4, 50, 12));
  controls.SetText(kIdPlay, "Sto&p");
  EXPECT_EQ(controls.Text(kIdPlay), "Sto&p");
  controls.SetToolTip(kIdPlay, "tip");
  EXPECT_EQ(controls.Control(kIdPlay)->toolTip(), QStringLiteral("tip"));
  for (QWidget* widget : controls.Built().InTemplateOrder()) delete widget;
}

TEST_F(MainWindowTest, PlayLightsTheMainBlinkerFromTheTimingThreadAndStopBlanksIt) {
  QTest::mouseClick(Get<QPushButton>(kIdPlay), Qt::LeftButton);
  ASSERT_TRUE(Dialog().IsPlaying());
  EXPECT_EQ(Get<QPushButton>(kIdPlay)->text(), QStringLiteral("Sto&p"));
  ASSERT_TRUE(WaitForNotes(3));
  EXPECT_GT(Get<BlinkerStatic>(kIdMainBlinker)->PictureChanges(), 0);
  QTest::mouseClick(Get<QPushButton>(kIdPlay), Qt::LeftButton);
  EXPECT_EQ(Get<BlinkerStatic>(kIdMainBlinker)->Frame(), 0);
  EXPECT_EQ(Get<QPushButton>(kIdPlay)->text(), QStringLiteral("&Play"));
}

TEST_F(MainWindowTest, BoxesAreOwnedByTheWindowAndAskedYesOrNo) {
  Get<QRadioButton>(kIdCustom)->click();
  Get<QLineEdit>(kIdCustomMeasure)->setText(QStringLiteral("12)"));
  {
    BoxAnswerer answerer;
    QTest::keyClick(Get<QLineEdit>(kIdCustomMeasure), Qt::Key_Return);
    ASSERT_TRUE(answerer.Seen().seen);
    EXPECT_EQ(answerer.Seen().title, QStringLiteral("Custom Measure Definition Error"));
    EXPECT_EQ(answerer.Seen().icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.Seen().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(answerer.Seen().parent, &Window());
  }
  BoxAnswerer answerer(QMessageBox::No);
  EXPECT_EQ(Window().ShowMessageBox("Preset Already Exists", "Continue?", MessageIcon::kQuestion,
                                    MessageButtons::kYesNo),
            MessageResult::kNo);
  EXPECT_EQ(answerer.Seen().icon, QMessageBox::Question);
  EXPECT_EQ(answerer.Seen().buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(MainWindowTest, SendErrorFromTheTimingThreadIsShownOverTheWindow) {
  m_midi.FailShortMsg(1, kMidiError);  // the second beat cannot be sent
  BoxAnswerer answerer;
  Dialog().OnAcceleratorCommand(kIdPlay);
  ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.Seen().seen; }, 10000));
  EXPECT_EQ(answerer.Seen().title, QStringLiteral("Midi Error"));
  EXPECT_EQ(answerer.Seen().text, QStringLiteral("Error sending Midi message to device"));
  EXPECT_EQ(answerer.Seen().parent, &Window());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Dialog().Player().Running(); }, 10000));
  EXPECT_EQ(Get<QPushButton>(kIdPlay)->text(), QStringLiteral("Sto&p"));
  Dialog().OnAcceleratorCommand(kIdPlay);
}

TEST_F(MainWindowTest, ClosingWhilePlayingLeavesTheEngineToTheEnd) {
  Dialog().OnAcceleratorCommand(kIdPlay);
  ASSERT_TRUE(WaitForNotes(2));
  QTest::keyClick(Get<QPushButton>(kIdPlay), Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(Window().isVisible());
  EXPECT_TRUE(Dialog().IsWindowGone());
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 0);
  QCoreApplication::processEvents();
  m_window.reset();
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kClose), 1);
}

TEST(WindowStartUp, DeviceErrorIsShownBeforeTheWindowWithoutOwner) {
  MonotonicClock clock;
  RecordingMidiOut midi(0);  // no device at all
  MemoryRegistry registry;
  BoxAnswerer answerer;
  MetronomeWindow window(clock, midi, registry);
  ASSERT_TRUE(answerer.Seen().seen);
  EXPECT_EQ(answerer.Seen().title, QStringLiteral("Midi Error"));
  EXPECT_EQ(answerer.Seen().parent, nullptr);
  EXPECT_FALSE(window.isVisible());
  window.Create();
  EXPECT_TRUE(window.isVisible());
}

// --- The window's place ---

TEST_F(MainWindowTest, ClosingStoresTheOuterRectangle) {
  Window().move(40, 30);
  const QRect frame = Window().frameGeometry();
  ASSERT_EQ(frame.topLeft(), QPoint(40, 30));
  Window().close();
  OpenKey key(m_registry);
  key.Open(Registry::kCurrentUser, SettingsKey, RegAccess::kRead);
  const WindowRect stored = ReadWindowRect(m_registry, key.Get(), {});
  // Right and bottom are exclusive: left + width, top + height.
  EXPECT_EQ(stored, (WindowRect{40, 30, 40 + frame.width(), 30 + frame.height()}));
}

// A window stored in the primary screen's top-left corner comes back there like any other
// stored place, also when the stored rectangle equals the one the window has before it is
// first shown (no frame yet, the origin and the created size); a stored place elsewhere is
// where the frame goes, with the stored outer size.
TEST_F(MainWindowTest, AStoredPlaceIsWhereTheFrameGoes) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QSize created = Window().size();
  const QSize outer = Window().frameGeometry().size();
  const QRect cases[] = {QRect(QPoint(0, 0), created), QRect(QPoint(25, 35), outer)};
  for (const QRect& place : cases) {
    m_window.reset();
    OpenKey key(m_registry);
    key.Create(Registry::kCurrentUser, SettingsKey, RegAccess::kReadWrite);
    WriteWindowRect(m_registry, key.Get(),
                    {place.x(), place.y(), place.x() + place.width(), place.y() + place.height()});
    SetUp();
    if (place.topLeft() == QPoint(0, 0)) {
      EXPECT_EQ(Window().frameGeometry().topLeft(), screen.topLeft());
    } else {
      EXPECT_TRUE(QTest::qWaitFor([&] { return Window().frameGeometry() == place; }));
      EXPECT_EQ(Window().frameGeometry(), place);
    }
  }
}

}  // namespace
}  // namespace ticktavo::testing
