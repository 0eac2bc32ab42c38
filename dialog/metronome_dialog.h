#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dialog/dialog_controls.h"
#include "dialog/practice_dialog.h"
#include "dialog/window_host.h"
#include "dialog/window_sizing.h"
#include "engine/beat_player.h"
#include "engine/owner_mailbox.h"
#include "rhythm/sequencer.h"
#include "store/registry.h"
#include "store/settings_view.h"

namespace ticktavo {

// The program's one window as behaviour: every handler of the main dialog, over the controls
// of template 102 (DialogControls) and the window around them (WindowHost). The front end
// builds the controls, calls OnInitDialog once, and then turns the user's actions into the
// calls below; it keeps only what its toolkit alone knows (painting, keys, focus, screen
// readers).
//
// The engine is the first part built (it opens the MIDI device and creates the timing
// thread; a device error is shown now, before any window) and the last to go. The timing
// thread never waits for the window: it posts its news to the dialog's mailbox and has the
// host wake the window's thread, which hands it to the dialog in OnWake. The controls, the
// host and the registry must outlive the dialog; the controls need to exist only from
// OnInitDialog on. Window's thread only.
class MetronomeDialog final : private TransportView,
                              private SettingsView,
                              private OwnerMailbox::Receiver,
                              private PracticeTarget {
 public:
  // Answer to the dialog manager's default-button question: "has a default button, and its
  // identifier is 0", so Enter never presses a button.
  static constexpr int kHasDefId = 0x534B;
  // The one timer the dialog asks its host for, and how long the typing in the tempo field
  // must pause before a tempo typed while playing reaches the engine.
  static constexpr int kTempoTimer = 1;
  static constexpr int kTempoTypingPauseMs = 500;

  MetronomeDialog(DialogControls& controls, WindowHost& host, Registry& registry, Clock& clock,
                  MidiOut& midi, TimingPriority priority = TimingPriority::kRealTime);
  ~MetronomeDialog();
  MetronomeDialog(const MetronomeDialog&) = delete;
  MetronomeDialog& operator=(const MetronomeDialog&) = delete;

  // The tempo slider is logarithmic in (tempo + 128); exact inverses on 4..1000.
  static int BpmToSlider(int bpm);
  static int SliderToBpm(int position);

  // --- The user's actions and the window's events ---

  // Fills the lists, sets the ranges and tooltips, loads the stored settings (which captures
  // the folding layout and places the window) and gives the Straight button the focus.
  void OnInitDialog();
  void OnCommand(int id, Notification code);
  // A keyboard accelerator's command: the key acts as a click on its control would (Alt+B
  // toggles the Blink box, a style key selects its radio button) whatever has the focus.
  void OnAcceleratorCommand(int command);
  // A slider moved by the user; dragging while its thumb is held (a step otherwise: keys,
  // wheel, clicks on the track).
  void OnHScroll(int id, bool dragging);
  // The beats field's arrows (or its Up and Down keys) stepped: the field shows the next
  // number within 1..1000, as plain digits, and its change handler runs.
  void OnUpDownStep(int id, int delta);
  // Window commands: 16..31 open the About box, 32..47 the Practice window, 48..63 the Export
  // Click Track box.
  void OnSysCommand(unsigned id);
  void OnClose();
  // The window is being destroyed (closed or not): from now on nothing the engine reports
  // reaches a control, and the engine queues no further beat.
  void OnDestroy();
  void OnCancel() {}  // Escape and every other cancel route leave the window as it is.
  int OnGetDefID() const { return kHasDefId << 16; }
  // The window was resized: folds and moves the controls for its height (nothing before the
  // layout is captured).
  void OnSize();
  // The window's frame may have changed (shown, moved, its state changed).
  void OnFrameChanged();
  // A timer asked of the host (SetTimer) has come.
  void OnTimer(int id);
  // The window moved to a screen of another pixel density (dots per inch), and the platform
  // rescaled its controls: the folding layout and the size limits follow. Nothing before the
  // layout is captured.
  void OnDpiChanged(int newDpi, int oldDpi);

  // --- The engine's news, on the window's thread ---

  // The host woke the window's thread: shows what the engine has posted (the "Midi Error"
  // box, the latest frame of the main blinker, the beats played).
  void OnWake() { m_mailbox.Drain(); }

  // --- State ---

  bool IsWindowGone() const { return m_windowGone; }
  bool IsPlaying() const { return m_sequencer.IsPlaying(); }
  bool LayoutReady() const { return m_layout.m_layoutReady; }
  const SizingLayout& Layout() const { return m_layout; }
  // The client height the last size change reported, shared by the whole program.
  static int PreviousClientHeight() { return s_prevClientHeight; }
  // The tempo the user set. While the speed trainer plays, the tempo field shows its steps
  // (ShownBpm); this is the tempo Stop goes back to, and the one saved. A tempo typed while
  // playing counts from the keystroke, though it reaches the engine once the typing pauses.
  int Bpm() const override { return m_tempoPending ? m_bpm : m_sequencer.UserBpm(); }
  int ShownBpm() const { return m_bpm; }
  // A tempo typed while playing that has not reached the engine yet.
  bool TempoPending() const { return m_tempoPending; }
  MetronomeStyle CurrentStyle() const { return m_style; }
  bool Blinking() const override { return m_blinking; }
  const VoiceSettings& Voices() const { return m_sequencer.Voices(); }
  const Sequencer& GetSequencer() const { return m_sequencer; }
  // What the Practice window works on, and the Practice window itself while it is open (null
  // when it is closed): it is told of loaded settings and played beats.
  PracticeTarget& PracticeTools() { return *this; }
  void AttachPracticeDialog(PracticeDialog* practice) { m_practiceDialog = practice; }
  BeatPlayer& Player() { return m_player; }
  const BeatPlayer& Player() const { return m_player; }

  // Sets a voice from a stored or chosen value and shows it in its controls, without running
  // the controls' handlers. Out-of-range values never index a table or reach the engine: an
  // instrument outside 0..46 becomes the voice's default, volumes are kept to 0..127 and
  // blinker sizes to 0..8.
  void SetVoiceInstrument(int voice, int instrument);
  void SetVoiceVolume(int voice, int volume);
  void SetVoiceBlinkSize(int voice, int blinkSize);

 private:
  // Handlers of the dialog's own controls.
  void FillInstrumentCombos();
  void AddToolTips();
  void TogglePlay();
  void SetStraightStyle();
  void SetSimpleMeasureStyle();
  void SetCustomStyle();
  void CheckStyleButton(MetronomeStyle style);
  void OnBeatsPerMeasureChanged();
  void OnCustomMeasureChanged();
  // typed: the user changed the field's text (not the slider, a loaded setting or focus loss).
  void OnTempoEditChange(bool typed = false);
  // Hands the tempo to the sequencer (and so to a running engine), ending any wait for a pause
  // in the typing.
  void ApplyTempo();
  void OnTempoEditKillFocus();
  void OnInstrumentChange(int voice);
  void OnBlinkClicked();
  // Opens the export box with what Play would play now; a custom measure that does not parse
  // is refused as Play refuses it.
  void OnExportClickTrack();
  void OnPresetSelected();
  void OnSavePreset();
  void OnDeletePreset();
  void OnPresetTextChanged();
  void LoadSettings(const char* presetName);
  bool SaveSettings(const char* presetName);
  void CaptureLayout() override;
  // The window's outer size less its client size.
  Size FrameSize() const;

  // What the engine posted. Frames and beats of an earlier run (sounded before a Stop) are
  // stale and change nothing.
  void OnMidiError(std::string_view text) override;
  void OnMainBlinkerFrame(std::uint64_t run, int frame) override;
  void OnBeatPlayed(std::uint64_t run, int velocity, int note) override;
  void OnTempoChanged(std::uint64_t run, std::uint32_t tempoSerial, int bpm) override;
  static void Wake(void* dialog);

  // PracticeTarget.
  PracticeSettings Practice() const override { return m_sequencer.Practice(); }
  void SetPractice(const PracticeSettings& practice) override;
  void SetTappedTempo(int bpm) override;
  int MeasuresPlayed() const override { return m_sequencer.MeasuresPlayed(); }

  // TransportView.
  bool IsCustomStyleSelected() const override;
  std::string CustomMeasureText() const override;
  void ShowErrorBox(std::string_view caption, std::string_view text) override;
  void SetPlayButtonCaption(std::string_view caption) override;
  void SetPlayButtonToolTip(std::string_view text) override;
  void BlankMainBlinker() override;
  void ShowTempo(int bpm) override;

  // SettingsView.
  void SetTempoText(std::string_view text) override;
  void TempoEditKillFocus() override { OnTempoEditKillFocus(); }
  void SetBeatsPerMeasureText(std::string_view text) override;
  void ShowInstrument(int voice, int instrument) override { SetVoiceInstrument(voice, instrument); }
  void ShowVolume(int voice, int volume) override { SetVoiceVolume(voice, volume); }
  void ShowBlinkSize(int voice, int size) override { SetVoiceBlinkSize(voice, size); }
  void SetCustomMeasureText(std::string_view text) override;
  void ApplyStyle(MetronomeStyle style) override;
  void ShowBlinking(bool on) override;
  void ShowPractice(const PracticeSettings& practice) override;
  void MoveWindowTo(WindowRect rect, std::optional<int> rows) override;
  std::optional<int> VisibleRows() const override;
  // Moves the window wholly onto a screen, title bar included, if it is not.
  void KeepWindowOnScreen();
  // A first start (no place stored): the window in the middle of the primary screen.
  void PlaceFirstStart();
  std::string BeatsPerMeasureText() const override;
  int Style() const override { return static_cast<int>(m_style); }
  int Instrument(int voice) const override;
  int Volume(int voice) const override;
  int BlinkSize(int voice) const override;
  WindowRect CurrentWindowRect() const override { return m_host.WindowPlace(); }
  std::vector<WindowRect> ScreenRects() const override { return m_host.Screens(); }
  int PresetCount() const override;
  std::string PresetText(int position) const override;
  void InsertPreset(int position, std::string_view name) override;
  void RemovePreset(int position) override;
  int SelectedPreset() const override;
  void SelectPreset(int position) override;
  std::string PresetNameText() const override;
  void EnableSave(bool enabled) override;
  void EnableDelete(bool enabled) override;
  void MakeSaveDefault() override;
  void OnSettingsChanged() override;
  bool AskYesNo(std::string_view caption, std::string_view text) override;
  void ShowError(std::string_view caption, std::string_view text) override;

  DialogControls& m_controls;
  WindowHost& m_host;
  Registry& m_registry;
  bool m_windowGone = false;
  // The timing thread reaches the dialog only through the mailbox, so it outlives the engine.
  OwnerMailbox m_mailbox;
  // The engine: built first (opens the device, creates the timing thread), destroyed last of
  // the dialog's parts.
  BeatPlayer m_player;
  Sequencer m_sequencer;

  bool m_placed = false;  // the stored place was applied
  int m_bpm = 60;
  bool m_tempoPending = false;
  bool m_blinking = false;
  MetronomeStyle m_style = MetronomeStyle::Straight;
  SizingLayout m_layout;
  PracticeDialog* m_practiceDialog = nullptr;

  static int s_prevClientHeight;
};

}  // namespace ticktavo
