// The main window's handlers: initialisation, the voice rows, the transport with the real
// engine, the keyboard's commands, the engine's errors, closing, and the About box.

#include "dialog/about_dialog.h"
#include "dialog_rig.h"
#include "res/about_dialog_template.h"
#include "res/resource_ids.h"

namespace ticktavo::testing {
namespace {

class WindowTest : public DialogTest {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(WindowTest, InitialisationFillsTheListsRangesAndToolTips) {
  for (int n = 0; n < kVoiceCount; ++n) {
    const auto& combo = At(kIdVoiceInstrument[n]);
    ASSERT_EQ(combo.items.size(), 47u);
    EXPECT_EQ(combo.items[0], "High Agogo");
    EXPECT_EQ(combo.items[7], "hand clap");
    EXPECT_EQ(combo.items[46], "Low Wood Block");
    EXPECT_EQ(At(kIdVoiceVolume[n]).maximum, 127);
    EXPECT_EQ(At(kIdVoiceBlinkSize[n]).maximum, 8);
    EXPECT_EQ(At(kIdVoiceVolume[n]).toolTip, "Set the volume of this voice");
    EXPECT_EQ(At(kIdVoiceBlinkSize[n]).toolTip, "Set the size of the blinker for this voice");
    EXPECT_EQ(At(kIdVoiceBlinker[n]).toolTip, "The size of the blinker for this voice");
    EXPECT_EQ(At(kIdVoiceInstrument[n]).toolTip, "Choose an instrument for this voice");
  }
  // Voice 3's default is the low wood block, the last row.
  EXPECT_EQ(At(kIdVoiceInstrument[2]).selection, 46);
  EXPECT_EQ(At(kIdTempoSlider).minimum, 7044);
  EXPECT_EQ(At(kIdTempoSlider).maximum, 10140);
  EXPECT_EQ(At(kIdBeatsUpDown).minimum, 1);
  EXPECT_EQ(At(kIdBeatsUpDown).maximum, 1000);
  const std::pair<int, const char*> tips[] = {
      {kIdStraight, "A plain beat using voice #1"},
      {kIdSimpleMeasure, "Emphasize the first beat of the measure"},
      {kIdCustom, "Use a custom measure"},
      {kIdCustomMeasure, "Enter your custom measure here"},
      {kIdBeatsEdit, "The number of beats in your measure"},
      {kIdPlay, "Start the metronome (Enter)"},
      {kIdTempoSlider, "Change the speed of the metronome"},
      {kIdTempoEdit, "Set the speed of the metronome"},
      {kIdSavePreset, "Save these settings as a preset"},
      {kIdDeletePreset, "Delete the current preset"},
      {kIdPresetCombo, "Choose a preset from the list or type a name to save a new one"},
      {kIdBlink, "Toggle the visual beat display"},
  };
  for (const auto& [id, tip] : tips) EXPECT_EQ(At(id).toolTip, tip) << id;
  EXPECT_EQ(m_controls.focus, kIdStraight);
  EXPECT_EQ(Dialog().OnGetDefID(), 0x534B0000);
}

TEST_F(WindowTest, InstrumentChoiceClearsThePresetAndIsHeard) {
  m_controls.InsertItem(kIdPresetCombo, -1, "Waltz");
  m_controls.SetSelection(kIdPresetCombo, 0);
  Choose(kIdVoiceInstrument[0], 7);  // row 7, "hand clap"
  EXPECT_EQ(Dialog().Voices().m_instrument[0], 4);
  EXPECT_EQ(At(kIdPresetCombo).selection, -1);
  EXPECT_FALSE(At(kIdDeletePreset).enabled);

  Click(kIdPlay);
  ASSERT_TRUE(PlayUntilNotes(1));
  Click(kIdPlay);
  // Straight style plays voice 1: hand clap is note 4 + 35 = 39, at full volume.
  EXPECT_EQ(m_midi.Messages().front(), NoteOnMessage(39, 127));
}

TEST_F(WindowTest, SliderMovesEnableSaveAndKeepThePreset) {
  m_controls.InsertItem(kIdPresetCombo, -1, "Waltz");
  m_controls.SetSelection(kIdPresetCombo, 0);
  At(kIdSavePreset).enabled = false;
  Step(kIdVoiceVolume[1], -1);
  EXPECT_EQ(Dialog().Voices().m_volume[1], 126);
  EXPECT_TRUE(At(kIdSavePreset).enabled);
  EXPECT_EQ(At(kIdPresetCombo).text, "Waltz");
  EXPECT_TRUE(At(kIdDeletePreset).enabled);
}

TEST_F(WindowTest, BlinkSizeSliderSetsTheVoiceBlinker) {
  ASSERT_EQ(At(kIdVoiceBlinker[2]).frame, 8);
  Slide(kIdVoiceBlinkSize[2], 0);
  EXPECT_EQ(At(kIdVoiceBlinker[2]).frame, 0);
  EXPECT_EQ(Dialog().Voices().m_blinkSize[2], 0);
  Slide(kIdVoiceBlinkSize[2], 8, true);
  EXPECT_EQ(At(kIdVoiceBlinker[2]).frame, 8);
  Slide(kIdVoiceBlinkSize[2], 3);
  EXPECT_EQ(At(kIdVoiceBlinker[1]).frame, 8);  // its neighbours are untouched
}

TEST_F(WindowTest, OutOfRangeVoiceValuesAreKeptInRange) {
  Dialog().SetVoiceInstrument(4, 47);
  EXPECT_EQ(Dialog().Voices().m_instrument[4], 0);  // voice 5's default
  Dialog().SetVoiceInstrument(0, -1);
  EXPECT_EQ(Dialog().Voices().m_instrument[0], 2);  // voice 1's default, side stick
  Dialog().SetVoiceVolume(1, 500);
  EXPECT_EQ(Dialog().Voices().m_volume[1], 127);
  Dialog().SetVoiceBlinkSize(2, 9);
  EXPECT_EQ(At(kIdVoiceBlinker[2]).frame, 8);
}

TEST_F(WindowTest, PlayLightsTheMainBlinkerAndStopBlanksIt) {
  // The timing thread is held 5 ms into the run: the first beat has sounded, its frame is
  // posted, and the fading has not begun (it starts 20 ms after the beat).
  ClockGate gate(m_clock, m_clock.Ticks() + 5'000);
  Click(kIdPlay);
  ASSERT_TRUE(Dialog().IsPlaying());
  EXPECT_EQ(At(kIdPlay).text, "Sto&p");
  EXPECT_EQ(At(kIdPlay).toolTip, "Stop the metronome (Enter)");
  ASSERT_TRUE(gate.WaitUntilHeld());
  // Straight style, voice 1 defaults: side stick (note 37) at velocity 127, blink size 8.
  EXPECT_EQ(m_midi.Messages().at(0), NoteOnMessage(37, 127));
  EXPECT_GT(m_host.wakes.count, 0);        // the engine asked for the window's thread
  EXPECT_EQ(At(kIdMainBlinker).frame, 0);  // and nothing is shown until it runs
  Dialog().OnWake();
  EXPECT_EQ(At(kIdMainBlinker).frame, 8);
  Click(kIdPlay);
  EXPECT_FALSE(Dialog().IsPlaying());
  EXPECT_EQ(At(kIdMainBlinker).frame, 0);
  EXPECT_EQ(At(kIdPlay).text, "&Play");
  EXPECT_EQ(At(kIdPlay).toolTip, "Start the metronome (Enter)");
  gate.Release();
  ASSERT_TRUE(Dialog().Player().WaitUntilHeld(std::chrono::seconds(10)));
  // Whatever the stopped run still posted does not light the blinker again.
  Dialog().OnWake();
  EXPECT_EQ(At(kIdMainBlinker).frame, 0);
}

TEST_F(WindowTest, RefusedCustomMeasureShowsItsBoxAndStaysStopped) {
  Dialog().OnAcceleratorCommand(kIdCustom);
  Type(kIdCustomMeasure, "12)");
  Dialog().OnAcceleratorCommand(kIdPlay);  // Enter
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Custom Measure Definition Error");
  EXPECT_EQ(m_host.boxes[0].text,
            "Make sure you don't have any mismatched parentheses in your measure definition");
  EXPECT_EQ(m_host.boxes[0].icon, MessageIcon::kError);
  EXPECT_TRUE(m_host.boxes[0].owned);
  EXPECT_FALSE(Dialog().IsPlaying());
  EXPECT_EQ(At(kIdPlay).text, "&Play");
  EXPECT_EQ(Dialog().Player().QueuedBeats(), 0);
  EXPECT_FALSE(Dialog().Player().Running());
}

TEST_F(WindowTest, StyleKeysSelectTheirButtonAndApplyTheStyle) {
  Dialog().OnAcceleratorCommand(kIdSimpleMeasure);
  EXPECT_TRUE(At(kIdSimpleMeasure).checked);
  EXPECT_FALSE(At(kIdStraight).checked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::SimpleMeasure);
  EXPECT_TRUE(At(kIdBeatsEdit).enabled);
  EXPECT_TRUE(At(kIdBeatsUpDown).enabled);
  EXPECT_FALSE(At(kIdCustomMeasure).enabled);

  Dialog().OnAcceleratorCommand(kIdCustom);
  EXPECT_TRUE(At(kIdCustom).checked);
  EXPECT_FALSE(At(kIdSimpleMeasure).checked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Custom);
  EXPECT_FALSE(At(kIdBeatsEdit).enabled);
  EXPECT_TRUE(At(kIdCustomMeasure).enabled);

  Dialog().OnAcceleratorCommand(kIdStraight);
  EXPECT_TRUE(At(kIdStraight).checked);
  EXPECT_FALSE(At(kIdCustom).checked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Straight);
  EXPECT_FALSE(At(kIdCustomMeasure).enabled);
  // The measure follows: a click on Straight while it is not checked (the radio's own
  // command routed elsewhere) changes nothing.
  At(kIdStraight).checked = false;
  At(kIdSimpleMeasure).checked = true;
  Dialog().OnCommand(kIdStraight, Notification::kClicked);
  EXPECT_EQ(Dialog().CurrentStyle(), MetronomeStyle::Straight);
  EXPECT_TRUE(At(kIdSimpleMeasure).checked);
}

TEST_F(WindowTest, TheBeatsArrowsStepWithinTheRangeInPlainDigits) {
  Dialog().OnUpDownStep(kIdBeatsUpDown, +1);  // disabled in the Straight style
  EXPECT_EQ(At(kIdBeatsEdit).text, "4");
  Dialog().OnAcceleratorCommand(kIdSimpleMeasure);
  Type(kIdBeatsEdit, "999");
  Dialog().OnUpDownStep(kIdBeatsUpDown, +1);
  EXPECT_EQ(At(kIdBeatsEdit).text, "1000");  // never "1,000"
  EXPECT_EQ(Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 1000);
  Dialog().OnUpDownStep(kIdBeatsUpDown, +1);
  EXPECT_EQ(At(kIdBeatsEdit).text, "1000");
  Type(kIdBeatsEdit, " +2");
  Dialog().OnUpDownStep(kIdBeatsUpDown, -1);
  Dialog().OnUpDownStep(kIdBeatsUpDown, -1);
  EXPECT_EQ(At(kIdBeatsEdit).text, "1");
  // A field without a number steps from where the arrows last were.
  Type(kIdBeatsEdit, "");
  Dialog().OnUpDownStep(kIdBeatsUpDown, +1);
  EXPECT_EQ(At(kIdBeatsEdit).text, "2");
  EXPECT_EQ(Dialog().GetSequencer().GetMeasure().BeatsPerMeasure(), 2);
}

TEST_F(WindowTest, BlinkKeyTogglesTheBoxAndTheEngine) {
  ASSERT_TRUE(At(kIdBlink).checked);
  Dialog().OnAcceleratorCommand(kIdBlink);
  EXPECT_FALSE(At(kIdBlink).checked);
  EXPECT_FALSE(Dialog().Blinking());
  EXPECT_FALSE(Dialog().Player().BlinkingEnabled());
  Click(kIdBlink);
  EXPECT_TRUE(Dialog().Player().BlinkingEnabled());
}

TEST_F(WindowTest, TheExitKeyClosesLikeTheCloseBoxAndSavesOnce) {
  Dialog().OnAcceleratorCommand(kIdExit);
  EXPECT_EQ(m_host.closeRequests, 1);
  EXPECT_TRUE(Dialog().IsWindowGone());
  EXPECT_EQ(StoredDword("", "BPMinute"), 200);
  // Nothing more reaches the dialog once the window is gone.
  Type(kIdTempoEdit, "90");
  Dialog().OnClose();
  EXPECT_EQ(StoredDword("", "BPMinute"), 200);
  Dialog().OnCancel();
}

TEST_F(WindowTest, ClosingWhilePlayingLeavesTheEngineToTheEnd) {
  Click(kIdPlay);
  ASSERT_TRUE(PlayUntilNotes(2));
  Close();
  EXPECT_TRUE(Dialog().IsWindowGone());
  // Closing does not stop the engine; deleting the dialog does.
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kReset), 0);
  // What the engine posts from now on reaches nothing.
  Dialog().OnWake();
  m_dialog.reset();
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kClose), 1);
}

TEST_F(WindowTest, SendErrorIsShownOverTheWindowAndTheButtonStaysAtStop) {
  m_midi.FailShortMsg(1, kMidiError);  // the second beat cannot be sent
  Click(kIdPlay);
  ASSERT_TRUE(m_midi.WaitForSent(2, std::chrono::seconds(10)));
  ASSERT_TRUE(Dialog().Player().WaitUntilHeld(std::chrono::seconds(10)));
  EXPECT_TRUE(m_host.boxes.empty());  // shown by the window's thread, not the timing thread
  Dialog().OnWake();
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Midi Error");
  EXPECT_EQ(m_host.boxes[0].text, "Error sending Midi message to device");
  EXPECT_TRUE(m_host.boxes[0].owned);
  // The engine stopped itself; the window learns of it only when the user presses Stop.
  EXPECT_FALSE(Dialog().Player().Running());
  EXPECT_TRUE(Dialog().IsPlaying());
  EXPECT_EQ(At(kIdPlay).text, "Sto&p");
  Click(kIdPlay);
  Click(kIdPlay);  // and the next start plays again
  EXPECT_TRUE(PlayUntilNotes(3));
  Click(kIdPlay);
}

TEST_F(WindowTest, AboutCommandsAreSixteenToThirtyOne) {
  // The command is matched with its low four bits masked off.
  for (unsigned id : {16u, 17u, 24u, 31u, 0u, 15u, 32u, 0xF060u}) Dialog().OnSysCommand(id);
  EXPECT_EQ(m_host.aboutBoxes, 4);
  EXPECT_FALSE(At(kIdSavePreset).enabled);  // nothing of the window changed
  Close();
  Dialog().OnSysCommand(16);
  EXPECT_EQ(m_host.aboutBoxes, 4);
}

using StartUpTest = DialogTest;

TEST_F(StartUpTest, DeviceErrorIsShownBeforeTheWindowWithoutOwner) {
  m_midi.SetNumDevs(0);
  Build();
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Midi Error");
  EXPECT_EQ(m_host.boxes[0].text,
            "Can't find a MIDI device!  Are your sound card and driver properly installed?");
  EXPECT_FALSE(m_host.boxes[0].owned);
  // The window still opens and Play goes through its steps without sound.
  Dialog().OnInitDialog();
  Click(kIdPlay);
  EXPECT_TRUE(Dialog().IsPlaying());
  Click(kIdPlay);
  EXPECT_EQ(m_midi.Count(RecordingMidiOut::Op::kShortMsg), 0);
}

TEST(AboutBox, ShowsTheVersionAndOpensThePageItsLinkShows) {
  FakeControls controls(AboutDialogTemplate());
  FakeHost host;
  AboutDialog box(controls, host, "file:///usr/share/doc/ticktavo/guide.html");
  box.OnInitDialog();
  EXPECT_EQ(controls.At(kIdAboutVersion).text, "Ticktavo version 1.4");
  EXPECT_EQ(controls.At(kIdAboutLink).text, "file:///usr/share/doc/ticktavo/guide.html");
  EXPECT_EQ(controls.focus, kIdOk);
  box.OnCommand(kIdAboutVersion);  // any other text does nothing
  EXPECT_TRUE(host.pages.empty());
  box.OnCommand(kIdAboutLink);
  EXPECT_EQ(host.pages, std::vector<std::string>{"file:///usr/share/doc/ticktavo/guide.html"});
}

}  // namespace
}  // namespace ticktavo::testing
