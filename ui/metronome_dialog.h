#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include <QDialog>
#include <QIcon>

#include "engine/beat_player.h"
#include "engine/owner_mailbox.h"
#include "res/accelerators.h"
#include "rhythm/measure.h"
#include "rhythm/sequencer.h"
#include "ui/dialog_builder.h"
#include "ui/mailbox_notifier.h"
#include "ui/window_sizing.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace ticktavo {

class AcceleratorFilter;
class BlinkerStatic;
class Clock;
class MeasureEdit;
class MidiOut;
class SettingsSeam;
class UpDownCtrl;
class WindowMenu;

// The program's one window: a modeless dialog laid out from template 102, holding the engine,
// the rhythm model and every control. The engine is its first part to be built and its last
// to go; the mailbox the timing thread posts to is closed before any widget is destroyed.
//
// Life: construct (opens the MIDI device; a device error is shown now, before any window),
// Create() (builds the controls, OnInitDialog, LoadSettings, shows the window), then the
// handlers below run on the window's thread until OnClose. The object outlives its window.
class MetronomeDialog final : public QDialog, public TransportView, private OwnerMailbox::Receiver {
  Q_OBJECT

 public:
  // Answer to the dialog manager's default-button question: "has a default button, and its
  // identifier is 0", so Enter never presses a button.
  static constexpr int kHasDefId = 0x534B;

  // clock, midi and settings must outlive the dialog.
  MetronomeDialog(Clock& clock, MidiOut& midi, SettingsSeam& settings, QWidget* parent = nullptr);
  ~MetronomeDialog() override;

  // Creates the window from the template and shows it.
  void Create();
  bool IsWindowGone() const { return m_windowGone; }

  // --- Tempo mapping: the slider is logarithmic in (tempo + 128). Exact inverses on 4..1000.
  static int BpmToSlider(int bpm);
  static int SliderToBpm(int position);

  // --- Handlers, on the window's thread ---
  void OnInitDialog();
  void OnClose();
  void OnExitCommand();
  void OnCancel() {}  // Escape and every other cancel route leave the window as it is.
  int OnGetDefID() const { return kHasDefId << 16; }
  // Gives the push button with this identifier the default look (0: none).
  void SetDefaultButton(int controlId);
  void OnSettingsChanged();
  void OnTempoEditChange();
  void OnTempoEditKillFocus();
  void OnHScroll(QSlider* slider);
  void OnInstrumentChange(int voice);
  void OnBlinkClicked();
  void OnCommand(int command);
  void FillInstrumentCombos();
  // Window commands (the About item of the window menu, F1): 16..31 open the About box.
  void OnSysCommand(unsigned id);

  // Folding: records the window's template geometry (the settings layer calls it once, before
  // the stored rectangle is applied); from then on the window's height is limited and the
  // voice rows fold away from the bottom as it shrinks. Before, the window sizes freely.
  void CaptureLayout();
  void OnGetMinMaxInfo();
  void OnSize();
  bool LayoutReady() const;
  const WindowSizer& Sizer() const { return *m_sizer; }

  // Measure styles and fields.
  void SetStraightStyle();
  void SetSimpleMeasureStyle();
  void SetCustomStyle();
  void OnBeatsPerMeasureChanged();
  void OnCustomMeasureChanged();

  // Transport.
  void TogglePlay();
  bool StartMetronome() { return m_sequencer.StartMetronome(); }
  void StopMetronome() { m_sequencer.StopMetronome(); }
  bool IsPlaying() const { return m_sequencer.IsPlaying(); }

  // Stored settings and presets, through the settings layer.
  void LoadSettings(const char* presetName);
  bool SaveSettings(const char* presetName);
  void OnPresetSelected();
  void OnSavePreset();
  void OnDeletePreset();
  void OnPresetTextChanged();

  // --- Values the settings layer reads and writes ---
  int Bpm() const { return m_bpm; }
  void SetBpm(int bpm) { m_bpm = bpm; }
  MetronomeStyle Style() const { return m_style; }
  bool Blinking() const { return m_blinking; }
  const VoiceSettings& Voices() const { return m_sequencer.Voices(); }
  // Sets a voice from a stored or chosen value and shows it in its controls, without running
  // the controls' change handlers. Out-of-range values never index a table or reach the
  // engine: an instrument outside 0..46 becomes the voice's default, volumes are kept to
  // 0..127 and blinker sizes to 0..8.
  void SetVoiceInstrument(int voice, int instrument);
  void SetVoiceVolume(int voice, int volume);
  void SetVoiceBlinkSize(int voice, int blinkSize);

  Sequencer& GetSequencer() { return m_sequencer; }
  BeatPlayer& Player() { return m_player; }

  // --- Controls, by role ---
  QWidget* Control(int id) const;
  QRadioButton* StraightRadio() const { return m_straightRadio; }
  QRadioButton* SimpleMeasureRadio() const { return m_simpleMeasureRadio; }
  QRadioButton* CustomRadio() const { return m_customRadio; }
  QLineEdit* BeatsEdit() const { return m_beatsEdit; }
  UpDownCtrl* BeatsUpDown() const { return m_beatsUpDown; }
  MeasureEdit* CustomMeasureEdit() const { return m_customEdit; }
  QPushButton* PlayButton() const { return m_playButton; }
  QSlider* TempoSlider() const { return m_tempoSlider; }
  QLineEdit* TempoEdit() const { return m_tempoEdit; }
  QComboBox* PresetCombo() const { return m_presetCombo; }
  QPushButton* SaveButton() const { return m_saveButton; }
  QPushButton* DeleteButton() const { return m_deleteButton; }
  QCheckBox* BlinkCheck() const { return m_blinkCheck; }
  BlinkerStatic* MainBlinker() const { return m_mainBlinker; }
  QComboBox* InstrumentCombo(int voice) const { return m_instrumentCombo.at(Index(voice)); }
  QSlider* VolumeSlider(int voice) const { return m_volumeSlider.at(Index(voice)); }
  QSlider* BlinkSizeSlider(int voice) const { return m_blinkSizeSlider.at(Index(voice)); }
  BlinkerStatic* VoiceBlinker(int voice) const { return m_voiceBlinker.at(Index(voice)); }
  QLabel* VoiceLabel(int voice) const { return m_voiceLabel.at(Index(voice)); }

  // --- TransportView ---
  bool IsCustomStyleSelected() const override;
  std::string CustomMeasureText() const override;
  void ShowErrorBox(std::string_view caption, std::string_view text) override;
  void SetPlayButtonCaption(std::string_view caption) override;
  void SetPlayButtonToolTip(std::string_view text) override;
  void BlankMainBlinker() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void reject() override { OnCancel(); }

 private:
  // What the engine posted, on the window's thread.
  void OnMidiError(std::string_view text) override;
  void OnMainBlinkerFrame(std::uint64_t run, int frame) override;
  void OnBeatPlayed(std::uint64_t run, int velocity, int note) override;
  QWidget* MessageBoxOwner();

  static std::size_t Index(int voice);
  void BindControls();
  void ConnectHandlers();
  void AddToolTips();
  void EnableSave(bool enabled);

  // Read by the owner calls the engine makes while it is being built, so declared before it.
  bool m_windowCreated = false;
  bool m_windowGone = false;

  SettingsSeam& m_settings;
  // The timing thread reaches the window only through these, so they outlive the engine.
  OwnerMailbox m_mailbox;
  MailboxNotifier m_notifier;
  // The engine: built first (opens the device, creates the timing thread), destroyed last.
  BeatPlayer m_player;
  Sequencer m_sequencer;

  // Controls. The widgets belong to the window; these are views of them.
  BuiltDialog m_controls;
  QLabel* m_volumeHeading = nullptr;
  QCheckBox* m_blinkCheck = nullptr;
  QLabel* m_voicesHeading = nullptr;
  BlinkerStatic* m_mainBlinker = nullptr;
  QLabel* m_helpText = nullptr;
  QGroupBox* m_helpFrame = nullptr;
  QGroupBox* m_presetsFrame = nullptr;
  QLabel* m_tempoLabel = nullptr;
  QPushButton* m_deleteButton = nullptr;
  QPushButton* m_saveButton = nullptr;
  QComboBox* m_presetCombo = nullptr;
  QSlider* m_tempoSlider = nullptr;
  QLineEdit* m_tempoEdit = nullptr;
  QPushButton* m_playButton = nullptr;
  MeasureEdit* m_customEdit = nullptr;
  QLineEdit* m_beatsEdit = nullptr;
  UpDownCtrl* m_beatsUpDown = nullptr;
  QRadioButton* m_straightRadio = nullptr;
  QRadioButton* m_simpleMeasureRadio = nullptr;
  QRadioButton* m_customRadio = nullptr;
  std::array<QLabel*, kVoiceCount> m_voiceLabel{};
  std::array<QComboBox*, kVoiceCount> m_instrumentCombo{};
  std::array<QSlider*, kVoiceCount> m_volumeSlider{};
  std::array<QSlider*, kVoiceCount> m_blinkSizeSlider{};
  std::array<BlinkerStatic*, kVoiceCount> m_voiceBlinker{};

  int m_bpm = 60;
  bool m_blinking = false;
  MetronomeStyle m_style = MetronomeStyle::Straight;
  QIcon m_appIcon;
  std::span<const Accelerator> m_accelerators;
  std::unique_ptr<AcceleratorFilter> m_acceleratorFilter;
  // Children of the window, made by Create().
  WindowSizer* m_sizer = nullptr;
  WindowMenu* m_windowMenu = nullptr;
};

}  // namespace ticktavo
