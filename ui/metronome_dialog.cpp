#include "ui/metronome_dialog.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "res/app_icon.h"
#include "res/dialog_template.h"
#include "res/resource_ids.h"
#include "rhythm/percussion_table.h"
#include "ui/about_dialog.h"
#include "ui/accelerator_filter.h"
#include "ui/accessibility.h"
#include "ui/blinker_static.h"
#include "ui/measure_edit.h"
#include "ui/message_box.h"
#include "ui/settings_seam.h"
#include "ui/text_number.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

namespace {

// 1000 / ln 2: slider positions are thousandths of a binary logarithm.
constexpr double kSliderScale = 1442.6950408889634;
constexpr int kTempoOffset = 128;
constexpr std::string_view kMidiErrorCaption = "Midi Error";

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MetronomeDialog::MetronomeDialog(Clock& clock, MidiOut& midi, SettingsSeam& settings,
                                 QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_mailbox(*this),
      m_notifier(m_mailbox),
      m_player(m_mailbox, clock, midi),
      m_sequencer(m_player, *this) {
  LoadIconResources();
  for (std::string_view path : kAppIconPaths) m_appIcon.addFile(FromUtf8(path));
  // A main window of its own (taskbar entry), with a minimise box and no maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setModal(false);
}

MetronomeDialog::~MetronomeDialog() {
  // From here on nothing the timing thread posts reaches the window, and the engine queues
  // nothing more from the sequencer that goes before it.
  m_mailbox.Close();
  m_sequencer.ReleaseFeed();
  m_acceleratorFilter.reset();
  // The widgets go now, before the members: the engine stays the last part to go. Their
  // last notices (the focus leaving a field as it is destroyed) must not reach handlers that
  // would use their already destroyed neighbours.
  const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    child->removeEventFilter(this);
    QObject::disconnect(child, nullptr, this, nullptr);
  }
  if (m_presetCombo != nullptr && m_presetCombo->lineEdit() != nullptr) {
    QObject::disconnect(m_presetCombo->lineEdit(), nullptr, this, nullptr);
  }
  qDeleteAll(children);
}

void MetronomeDialog::Create() {
  const DialogTemplate& dialogTemplate = MainDialogTemplate();
  setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  m_controls = BuildDialog(dialogTemplate, *this, DialogUnitsFor(dialogTemplate, font()));
  BindControls();
  m_sizer = new WindowSizer(*this, FoldingControlsById([this](int id) { return Control(id); }));
  m_mainBlinker->SetSizeSet(1);
  ConnectHandlers();
  OnInitDialog();
  show();
  m_windowCreated = true;
}

QWidget* MetronomeDialog::Control(int id) const {
  return m_controls.Control(id);
}

std::size_t MetronomeDialog::Index(int voice) {
  return static_cast<std::size_t>(voice < 0 ? 0 : (voice >= kVoiceCount ? kVoiceCount - 1 : voice));
}

void MetronomeDialog::BindControls() {
  m_volumeHeading = m_controls.Get<QLabel>(kIdVolumeHeading);
  m_blinkCheck = m_controls.Get<QCheckBox>(kIdBlink);
  m_voicesHeading = m_controls.Get<QLabel>(kIdVoicesHeading);
  m_mainBlinker = m_controls.Get<BlinkerStatic>(kIdMainBlinker);
  m_helpText = m_controls.Get<QLabel>(kIdHelpText);
  m_helpFrame = m_controls.Get<QGroupBox>(kIdHelpFrame);
  m_presetsFrame = m_controls.Get<QGroupBox>(kIdPresetsFrame);
  m_tempoLabel = m_controls.Get<QLabel>(kIdTempoLabel);
  m_deleteButton = m_controls.Get<QPushButton>(kIdDeletePreset);
  m_saveButton = m_controls.Get<QPushButton>(kIdSavePreset);
  m_presetCombo = m_controls.Get<QComboBox>(kIdPresetCombo);
  m_tempoSlider = m_controls.Get<QSlider>(kIdTempoSlider);
  m_tempoEdit = m_controls.Get<QLineEdit>(kIdTempoEdit);
  m_playButton = m_controls.Get<QPushButton>(kIdPlay);
  m_customEdit = m_controls.Get<MeasureEdit>(kIdCustomMeasure);
  m_beatsEdit = m_controls.Get<QLineEdit>(kIdBeatsEdit);
  m_beatsUpDown = m_controls.Get<UpDownCtrl>(kIdBeatsUpDown);
  m_straightRadio = m_controls.Get<QRadioButton>(kIdStraight);
  m_simpleMeasureRadio = m_controls.Get<QRadioButton>(kIdSimpleMeasure);
  m_customRadio = m_controls.Get<QRadioButton>(kIdCustom);
  for (int n = 0; n < kVoiceCount; ++n) {
    const auto i = static_cast<std::size_t>(n);
    m_instrumentCombo[i] = m_controls.Get<QComboBox>(kIdVoiceInstrument[n]);
    m_voiceLabel[i] = m_controls.Get<QLabel>(kIdVoiceLabel[n]);
    m_volumeSlider[i] = m_controls.Get<QSlider>(kIdVoiceVolume[n]);
    m_blinkSizeSlider[i] = m_controls.Get<QSlider>(kIdVoiceBlinkSize[n]);
    m_voiceBlinker[i] = m_controls.Get<BlinkerStatic>(kIdVoiceBlinker[n]);
  }
}

void MetronomeDialog::ConnectHandlers() {
  connect(m_playButton, &QPushButton::clicked, this, [this] { TogglePlay(); });
  connect(m_straightRadio, &QRadioButton::clicked, this, [this] { SetStraightStyle(); });
  connect(m_simpleMeasureRadio, &QRadioButton::clicked, this, [this] { SetSimpleMeasureStyle(); });
  connect(m_customRadio, &QRadioButton::clicked, this, [this] { SetCustomStyle(); });
  connect(m_blinkCheck, &QCheckBox::clicked, this, [this] { OnBlinkClicked(); });

  // Text changes, typed or set by the program, run the field's handler.
  connect(m_customEdit, &QLineEdit::textChanged, this, [this] { OnCustomMeasureChanged(); });
  connect(m_beatsEdit, &QLineEdit::textChanged, this, [this] { OnBeatsPerMeasureChanged(); });
  connect(m_tempoEdit, &QLineEdit::textChanged, this, [this] { OnTempoEditChange(); });
  m_tempoEdit->installEventFilter(this);  // focus loss

  // Only the user's choices: a selection set by the program does not run the handler.
  for (int n = 0; n < kVoiceCount; ++n) {
    connect(m_instrumentCombo[Index(n)], &QComboBox::activated, this,
            [this, n] { OnInstrumentChange(n); });
  }

  // Sliders report the user's moves (dragging, keys, wheel, clicks on the track) and the end
  // of a drag, never a position set by the program.
  std::vector<QSlider*> sliders = {m_tempoSlider};
  for (int n = 0; n < kVoiceCount; ++n) {
    sliders.push_back(m_volumeSlider[Index(n)]);
    sliders.push_back(m_blinkSizeSlider[Index(n)]);
  }
  for (QSlider* slider : sliders) {
    connect(slider, &QSlider::actionTriggered, this, [this, slider] { OnHScroll(slider); });
    connect(slider, &QSlider::sliderReleased, this, [this, slider] { OnHScroll(slider); });
  }

  connect(m_presetCombo, &QComboBox::activated, this, [this] { OnPresetSelected(); });
  if (QLineEdit* name = m_presetCombo->lineEdit()) {
    // The name field keeps what the user typed: no completion from the list, and leaving
    // the field with a listed name does not choose (and load) that preset, which would throw
    // away the settings about to be saved under it.
    m_presetCombo->setCompleter(nullptr);
    QObject::disconnect(name, &QLineEdit::editingFinished, m_presetCombo, nullptr);
    connect(name, &QLineEdit::textEdited, this, [this] { OnPresetTextChanged(); });
  }
  connect(m_saveButton, &QPushButton::clicked, this, [this] { OnSavePreset(); });
  connect(m_deleteButton, &QPushButton::clicked, this, [this] { OnDeletePreset(); });
}

void MetronomeDialog::OnInitDialog() {
  // X11 and Wayland have no window menu to extend: the About item goes into the window's
  // context menu, and F1 opens the box too.
  m_windowMenu = new WindowMenu(*this, [this](unsigned id) { OnSysCommand(id); });
  setWindowIcon(m_appIcon);
  m_beatsUpDown->SetRange(1, 1000);
  FillInstrumentCombos();
  m_tempoSlider->setRange(BpmToSlider(kMinBpm), BpmToSlider(kMaxBpm));
  for (int n = 0; n < kVoiceCount; ++n) {
    m_volumeSlider[Index(n)]->setRange(0, kMaxVolume);
    m_blinkSizeSlider[Index(n)]->setRange(0, kMaxBlinkFrame);
  }
  AddToolTips();
  MakeMainWindowAccessible(*this);

  m_accelerators = AcceleratorTable();
  if (!m_accelerators.empty()) {
    m_acceleratorFilter = std::make_unique<AcceleratorFilter>(
        *this, m_accelerators, [this](int command) { OnCommand(command); });
    qApp->installEventFilter(m_acceleratorFilter.get());
  }

  LoadSettings(nullptr);
  m_straightRadio->setFocus(Qt::OtherFocusReason);
}

void MetronomeDialog::AddToolTips() {
  m_straightRadio->setToolTip(QStringLiteral("A plain beat using voice #1"));
  m_simpleMeasureRadio->setToolTip(QStringLiteral("Emphasize the first beat of the measure"));
  m_customRadio->setToolTip(QStringLiteral("Use a custom measure"));
  m_customEdit->setToolTip(QStringLiteral("Enter your custom measure here"));
  m_beatsEdit->setToolTip(QStringLiteral("The number of beats in your measure"));
  m_playButton->setToolTip(FromUtf8(kStartToolTip));
  m_tempoSlider->setToolTip(QStringLiteral("Change the speed of the metronome"));
  m_tempoEdit->setToolTip(QStringLiteral("Set the speed of the metronome"));
  m_saveButton->setToolTip(QStringLiteral("Save these settings as a preset"));
  m_deleteButton->setToolTip(QStringLiteral("Delete the current preset"));
  m_presetCombo->setToolTip(
      QStringLiteral("Choose a preset from the list or type a name to save a new one"));
  m_blinkCheck->setToolTip(QStringLiteral("Toggle the visual beat display"));
  for (int n = 0; n < kVoiceCount; ++n) {
    const auto i = Index(n);
    m_volumeSlider[i]->setToolTip(QStringLiteral("Set the volume of this voice"));
    m_blinkSizeSlider[i]->setToolTip(QStringLiteral("Set the size of the blinker for this voice"));
    m_voiceBlinker[i]->setToolTip(QStringLiteral("The size of the blinker for this voice"));
    m_instrumentCombo[i]->setToolTip(QStringLiteral("Choose an instrument for this voice"));
  }
}

void MetronomeDialog::FillInstrumentCombos() {
  for (std::string_view name : PercussionTable::instrumentNames) {
    const QString text = FromUtf8(name);
    for (QComboBox* combo : m_instrumentCombo) combo->addItem(text);
  }
  // A list shows no choice until one is made or loaded (Qt would pick the first row).
  for (QComboBox* combo : m_instrumentCombo) combo->setCurrentIndex(-1);
}

// --- Window commands and sizing ---

void MetronomeDialog::OnSysCommand(unsigned id) {
  if (!IsAboutCommand(id) || m_windowGone) return;
  // Modal to this window; its event loop keeps serving the timing thread, so playing goes on.
  AboutDialog about(this);
  (void)about.DoModal();
}

void MetronomeDialog::CaptureLayout() {
  if (m_sizer != nullptr) m_sizer->CaptureLayout();
}

void MetronomeDialog::OnGetMinMaxInfo() {
  if (m_sizer != nullptr) m_sizer->OnGetMinMaxInfo();
}

void MetronomeDialog::OnSize() {
  if (m_sizer != nullptr) m_sizer->OnSize();
}

bool MetronomeDialog::LayoutReady() const {
  return m_sizer != nullptr && m_sizer->Layout().m_layoutReady;
}

// --- Closing ---

void MetronomeDialog::closeEvent(QCloseEvent* event) {
  OnClose();
  event->accept();
}

void MetronomeDialog::OnClose() {
  if (m_windowGone) return;
  SaveSettings(nullptr);
  // The window is gone for good from here: the engine may go on sounding what is queued
  // until the program ends, but queues nothing more and none of its news reaches a control.
  m_windowGone = true;
  m_mailbox.Close();
  m_sequencer.ReleaseFeed();
  m_acceleratorFilter.reset();
}

void MetronomeDialog::OnExitCommand() {
  close();
}

void MetronomeDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // The dialog's own Enter handling presses the default button, and there never is one.
    const int defId = OnGetDefID() & 0xFFFF;
    if (defId != 0) {
      if (auto* button = qobject_cast<QPushButton*>(Control(defId))) button->click();
    }
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape ends in reject(), which does nothing
}

bool MetronomeDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_tempoEdit && event->type() == QEvent::FocusOut) {
    // A context menu of the field itself does not end the typing.
    if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
      OnTempoEditKillFocus();
    }
  }
  return QDialog::eventFilter(watched, event);
}

// --- Commands and keyboard ---

void MetronomeDialog::OnCommand(int command) {
  switch (command) {
    case kIdPlay:
      TogglePlay();
      break;
    case kIdExit:
      OnExitCommand();
      break;
    case kIdBlink:
      // The key acts like a click: toggle, then the handler reads the new state.
      m_blinkCheck->setChecked(!m_blinkCheck->isChecked());
      OnBlinkClicked();
      break;
    case kIdStraight:
      m_straightRadio->setChecked(true);
      SetStraightStyle();
      break;
    case kIdSimpleMeasure:
      m_simpleMeasureRadio->setChecked(true);
      SetSimpleMeasureStyle();
      break;
    case kIdCustom:
      m_customRadio->setChecked(true);
      SetCustomStyle();
      break;
    default:
      break;
  }
}

void MetronomeDialog::TogglePlay() {
  m_sequencer.TogglePlay();
}

void MetronomeDialog::OnBeatPlayed(std::uint64_t run, int /*velocity*/, int /*note*/) {
  if (m_windowGone) return;
  m_sequencer.OnBeatPlayed(run);
}

void MetronomeDialog::OnMainBlinkerFrame(std::uint64_t run, int frame) {
  // A frame of an earlier run (sounded before a Stop) must not light the blinker the Stop has
  // just blanked.
  if (m_windowGone || m_mainBlinker == nullptr || !m_sequencer.IsCurrentRun(run)) return;
  m_mainBlinker->SetFrame(frame);
}

void MetronomeDialog::OnMidiError(std::string_view text) {
  ShowMessageBox(MessageBoxOwner(), kMidiErrorCaption, text, MessageIcon::kError,
                 MessageButtons::kOk);
}

QWidget* MetronomeDialog::MessageBoxOwner() {
  return m_windowCreated && !m_windowGone ? this : nullptr;
}

// --- Default button and settings changes ---

void MetronomeDialog::SetDefaultButton(int controlId) {
  m_saveButton->setDefault(controlId == kIdSavePreset);
  m_deleteButton->setDefault(controlId == kIdDeletePreset);
  m_playButton->setDefault(controlId == kIdPlay);
}

void MetronomeDialog::OnSettingsChanged() {
  if (m_presetCombo == nullptr) return;
  m_presetCombo->setCurrentIndex(-1);
  if (m_presetCombo->lineEdit() != nullptr) m_presetCombo->lineEdit()->clear();
  m_deleteButton->setEnabled(false);
  SetDefaultButton(0);
}

void MetronomeDialog::EnableSave(bool enabled) {
  m_saveButton->setEnabled(enabled);
}

// --- Tempo ---

int MetronomeDialog::BpmToSlider(int bpm) {
  return static_cast<int>(std::log(static_cast<double>(bpm + kTempoOffset)) * kSliderScale + 0.5);
}

int MetronomeDialog::SliderToBpm(int position) {
  const double exponent = static_cast<double>(static_cast<unsigned>(position)) * 0.001;
  return static_cast<int>(std::pow(2.0, exponent) + 0.5) - kTempoOffset;
}

void MetronomeDialog::OnTempoEditChange() {
  if (m_tempoEdit == nullptr) return;
  const int typed = AtoiSaturated(m_tempoEdit->text().toStdString());
  // Unsigned comparison: a negative number is above the top, not below the bottom.
  const auto value = static_cast<unsigned>(typed);
  if (value < static_cast<unsigned>(kMinBpm)) {
    m_bpm = kMinBpm;
  } else if (value > static_cast<unsigned>(kMaxBpm)) {
    m_bpm = kMaxBpm;
  } else {
    m_bpm = typed;
  }
  m_tempoSlider->setValue(BpmToSlider(m_bpm));
  m_sequencer.OnTempoChanged(m_bpm);
  EnableSave(true);
}

void MetronomeDialog::OnTempoEditKillFocus() {
  if (m_tempoEdit == nullptr) return;
  const QString text = QString::number(m_bpm);
  if (m_tempoEdit->text() != text) {
    m_tempoEdit->setText(text);  // runs OnTempoEditChange
  } else {
    OnTempoEditChange();  // the field's change notice comes even when the text is the same
  }
  OnSettingsChanged();
}

// --- Sliders, instruments, blink ---

void MetronomeDialog::OnHScroll(QSlider* slider) {
  if (slider == m_tempoSlider) {
    // The edit's change handler sets the tempo and snaps the thumb to the whole tempo.
    const int position = slider->sliderPosition();
    int bpm = SliderToBpm(position);
    // Whole tempos lie 1.3 to 11 positions apart, so a key's or a wheel notch's step would
    // round back to the tempo it left and the thumb would snap back: a step (never a drag)
    // goes at least to the next whole tempo in its direction. While the step is handled the
    // slider's value is still the position it left.
    if (bpm == m_bpm && !slider->isSliderDown() && position != slider->value()) {
      bpm = std::clamp(bpm + (position > slider->value() ? 1 : -1), kMinBpm, kMaxBpm);
    }
    const QString text = QString::number(bpm);
    if (m_tempoEdit->text() != text) {
      m_tempoEdit->setText(text);
    } else {
      OnTempoEditChange();
    }
  } else {
    for (int n = 0; n < kVoiceCount; ++n) {
      const auto i = Index(n);
      if (slider == m_volumeSlider[i]) {
        m_sequencer.SetVoiceVolume(n, slider->sliderPosition());
      }
      if (slider == m_blinkSizeSlider[i]) {
        m_sequencer.SetVoiceBlinkSize(n, slider->sliderPosition());
        m_voiceBlinker[i]->SetFrame(m_sequencer.Voices().m_blinkSize[i]);
      }
    }
  }
  EnableSave(true);
}

void MetronomeDialog::OnInstrumentChange(int voice) {
  const auto i = Index(voice);
  const int position = m_instrumentCombo[i]->currentIndex();
  if (PercussionTable::IsListPosition(position)) {
    m_sequencer.SetVoiceInstrument(
        voice, PercussionTable::comboToInstrument[static_cast<std::size_t>(position)]);
  }
  OnSettingsChanged();
}

void MetronomeDialog::OnBlinkClicked() {
  m_blinking = m_blinkCheck->isChecked();
  m_player.SetBlinking(m_blinking);
}

void MetronomeDialog::SetVoiceInstrument(int voice, int instrument) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceInstrument(static_cast<int>(i), instrument);
  m_instrumentCombo[i]->setCurrentIndex(PercussionTable::instrumentToCombo[static_cast<std::size_t>(
      m_sequencer.Voices().m_instrument[i])]);
}

void MetronomeDialog::SetVoiceVolume(int voice, int volume) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceVolume(static_cast<int>(i), volume);
  m_volumeSlider[i]->setValue(m_sequencer.Voices().m_volume[i]);
}

void MetronomeDialog::SetVoiceBlinkSize(int voice, int blinkSize) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceBlinkSize(static_cast<int>(i), blinkSize);
  m_blinkSizeSlider[i]->setValue(m_sequencer.Voices().m_blinkSize[i]);
  m_voiceBlinker[i]->SetFrame(m_sequencer.Voices().m_blinkSize[i]);
}

// --- Measure styles ---

void MetronomeDialog::SetStraightStyle() {
  if (!m_straightRadio->isChecked()) return;
  m_style = MetronomeStyle::Straight;
  m_beatsEdit->setEnabled(false);
  m_beatsUpDown->setEnabled(false);
  m_customEdit->setEnabled(false);
  m_sequencer.SetStraightStyle();
  OnSettingsChanged();
}

void MetronomeDialog::SetSimpleMeasureStyle() {
  m_style = MetronomeStyle::SimpleMeasure;
  m_beatsEdit->setEnabled(true);
  m_beatsUpDown->setEnabled(true);
  m_customEdit->setEnabled(false);
  OnBeatsPerMeasureChanged();
  OnSettingsChanged();
}

void MetronomeDialog::SetCustomStyle() {
  m_style = MetronomeStyle::Custom;
  m_beatsEdit->setEnabled(false);
  m_beatsUpDown->setEnabled(false);
  m_customEdit->setEnabled(true);
  OnCustomMeasureChanged();
  OnSettingsChanged();
}

void MetronomeDialog::OnBeatsPerMeasureChanged() {
  if (m_beatsEdit == nullptr) return;
  m_sequencer.OnBeatsPerMeasureChanged(m_beatsEdit->text().toStdString());
  OnSettingsChanged();
}

void MetronomeDialog::OnCustomMeasureChanged() {
  if (m_customEdit == nullptr) return;
  m_sequencer.OnCustomMeasureChanged();
  OnSettingsChanged();
}

// --- Settings and presets ---

void MetronomeDialog::LoadSettings(const char* presetName) {
  m_settings.LoadSettings(*this, presetName);
}

bool MetronomeDialog::SaveSettings(const char* presetName) {
  return m_settings.SaveSettings(*this, presetName);
}

void MetronomeDialog::OnPresetSelected() {
  m_settings.OnPresetSelected(*this);
}
void MetronomeDialog::OnSavePreset() {
  m_settings.OnSavePreset(*this);
}
void MetronomeDialog::OnDeletePreset() {
  m_settings.OnDeletePreset(*this);
}

void MetronomeDialog::OnPresetTextChanged() {
  EnableSave(!m_presetCombo->currentText().isEmpty());
  SetDefaultButton(kIdSavePreset);
}

// --- TransportView ---

bool MetronomeDialog::IsCustomStyleSelected() const {
  return m_customRadio->isChecked();
}

std::string MetronomeDialog::CustomMeasureText() const {
  return m_customEdit->text().toStdString();
}

void MetronomeDialog::ShowErrorBox(std::string_view caption, std::string_view text) {
  ShowMessageBox(MessageBoxOwner(), caption, text, MessageIcon::kError, MessageButtons::kOk);
}

void MetronomeDialog::SetPlayButtonCaption(std::string_view caption) {
  m_playButton->setText(FromUtf8(caption));
}

void MetronomeDialog::SetPlayButtonToolTip(std::string_view text) {
  m_playButton->setToolTip(FromUtf8(text));
}

void MetronomeDialog::BlankMainBlinker() {
  m_mainBlinker->SetFrame(0);
}

}  // namespace ticktavo
