#include "dialog/metronome_dialog.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "res/resource_ids.h"
#include "rhythm/percussion_table.h"
#include "store/settings_store.h"

namespace ticktavo {

namespace {

// 1000 / ln 2: slider positions are thousandths of a binary logarithm.
constexpr double kSliderScale = 1442.6950408889634;
constexpr int kTempoOffset = 128;
constexpr std::string_view kMidiErrorCaption = "Midi Error";

std::size_t Index(int voice) {
  return static_cast<std::size_t>(std::clamp(voice, 0, kVoiceCount - 1));
}

std::optional<std::string_view> NameOf(const char* presetName) {
  if (presetName == nullptr) return std::nullopt;
  return std::string_view(presetName);
}

}  // namespace

int MetronomeDialog::s_prevClientHeight = 0;

MetronomeDialog::MetronomeDialog(DialogControls& controls, WindowHost& host, Registry& registry,
                                 Clock& clock, MidiOut& midi, TimingPriority priority)
    : m_controls(controls),
      m_host(host),
      m_registry(registry),
      m_mailbox(*this),
      m_player(m_mailbox, clock, midi, priority),
      m_sequencer(m_player, *this) {
  // The timing thread is held until the first Play, so nothing has been posted yet.
  m_mailbox.SetWake(&MetronomeDialog::Wake, this);
}

MetronomeDialog::~MetronomeDialog() {
  OnDestroy();
}

void MetronomeDialog::Wake(void* dialog) {
  static_cast<MetronomeDialog*>(dialog)->m_host.RequestWake();
}

int MetronomeDialog::BpmToSlider(int bpm) {
  return static_cast<int>(std::log(static_cast<double>(bpm + kTempoOffset)) * kSliderScale + 0.5);
}

int MetronomeDialog::SliderToBpm(int position) {
  const double exponent = static_cast<double>(static_cast<unsigned>(position)) * 0.001;
  return static_cast<int>(std::pow(2.0, exponent) + 0.5) - kTempoOffset;
}

// --- Initialisation ---

void MetronomeDialog::OnInitDialog() {
  m_controls.SetRange(kIdBeatsUpDown, 1, kMeasureCapacity);
  FillInstrumentCombos();
  m_controls.SetRange(kIdTempoSlider, BpmToSlider(kMinBpm), BpmToSlider(kMaxBpm));
  for (int n = 0; n < kVoiceCount; ++n) {
    m_controls.SetRange(kIdVoiceVolume[n], 0, kMaxVolume);
    m_controls.SetRange(kIdVoiceBlinkSize[n], 0, kMaxBlinkFrame);
  }
  AddToolTips();
  LoadSettings(nullptr);
  if (!m_placed) PlaceFirstStart();
  m_controls.SetFocus(kIdStraight);
}

void MetronomeDialog::FillInstrumentCombos() {
  for (std::string_view name : PercussionTable::instrumentNames) {
    for (int id : kIdVoiceInstrument) m_controls.InsertItem(id, -1, name);
  }
  // A list shows no choice until one is made or loaded.
  for (int id : kIdVoiceInstrument) m_controls.SetSelection(id, -1);
}

void MetronomeDialog::AddToolTips() {
  m_controls.SetToolTip(kIdStraight, "A plain beat using voice #1");
  m_controls.SetToolTip(kIdSimpleMeasure, "Emphasize the first beat of the measure");
  m_controls.SetToolTip(kIdCustom, "Use a custom measure");
  m_controls.SetToolTip(kIdCustomMeasure, "Enter your custom measure here");
  m_controls.SetToolTip(kIdBeatsEdit, "The number of beats in your measure");
  m_controls.SetToolTip(kIdPlay, kStartToolTip);
  m_controls.SetToolTip(kIdTempoSlider, "Change the speed of the metronome");
  m_controls.SetToolTip(kIdTempoEdit, "Set the speed of the metronome");
  m_controls.SetToolTip(kIdSavePreset, "Save these settings as a preset");
  m_controls.SetToolTip(kIdDeletePreset, "Delete the current preset");
  m_controls.SetToolTip(kIdPresetCombo,
                        "Choose a preset from the list or type a name to save a new one");
  m_controls.SetToolTip(kIdBlink, "Toggle the visual beat display");
  for (int n = 0; n < kVoiceCount; ++n) {
    m_controls.SetToolTip(kIdVoiceVolume[n], "Set the volume of this voice");
    m_controls.SetToolTip(kIdVoiceBlinkSize[n], "Set the size of the blinker for this voice");
    m_controls.SetToolTip(kIdVoiceBlinker[n], "The size of the blinker for this voice");
    m_controls.SetToolTip(kIdVoiceInstrument[n], "Choose an instrument for this voice");
  }
}

// --- Commands ---

void MetronomeDialog::OnCommand(int id, Notification code) {
  if (m_windowGone) return;
  switch (id) {
    case kIdPlay:
      if (code == Notification::kClicked) TogglePlay();
      return;
    case kIdExit:
      m_host.CloseWindow();
      return;
    case kIdStraight:
      if (code == Notification::kClicked) SetStraightStyle();
      return;
    case kIdSimpleMeasure:
      if (code == Notification::kClicked) SetSimpleMeasureStyle();
      return;
    case kIdCustom:
      if (code == Notification::kClicked) SetCustomStyle();
      return;
    case kIdBlink:
      if (code == Notification::kClicked) OnBlinkClicked();
      return;
    case kIdCustomMeasure:
      if (code == Notification::kChanged) OnCustomMeasureChanged();
      return;
    case kIdBeatsEdit:
      if (code == Notification::kChanged) OnBeatsPerMeasureChanged();
      return;
    case kIdTempoEdit:
      if (code == Notification::kChanged) OnTempoEditChange(true);
      if (code == Notification::kKillFocus) OnTempoEditKillFocus();
      return;
    case kIdPresetCombo:
      if (code == Notification::kSelChange) OnPresetSelected();
      if (code == Notification::kEditChange) OnPresetTextChanged();
      return;
    case kIdSavePreset:
      if (code == Notification::kClicked) OnSavePreset();
      return;
    case kIdDeletePreset:
      if (code == Notification::kClicked) OnDeletePreset();
      return;
    default:
      break;
  }
  for (int n = 0; n < kVoiceCount; ++n) {
    if (id == kIdVoiceInstrument[n] && code == Notification::kSelChange) OnInstrumentChange(n);
  }
}

void MetronomeDialog::OnAcceleratorCommand(int command) {
  switch (command) {
    case kIdBlink:
      m_controls.SetChecked(kIdBlink, !m_controls.IsChecked(kIdBlink));
      break;
    case kIdStraight:
      CheckStyleButton(MetronomeStyle::Straight);
      break;
    case kIdSimpleMeasure:
      CheckStyleButton(MetronomeStyle::SimpleMeasure);
      break;
    case kIdCustom:
      CheckStyleButton(MetronomeStyle::Custom);
      break;
    default:
      break;
  }
  OnCommand(command, Notification::kClicked);
}

void MetronomeDialog::OnUpDownStep(int id, int delta) {
  if (id != kIdBeatsUpDown || m_windowGone || !m_controls.IsEnabled(id)) return;
  // From the field's number when it holds one (after blanks and a sign), else from the last
  // position; plain digits (1000, never "1,000"), so the field's handler reads them back.
  const std::string text = m_controls.Text(kIdBeatsEdit);
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i != std::string::npos && (text[i] == '+' || text[i] == '-')) ++i;
  const bool number = i < text.size() && text[i] >= '0' && text[i] <= '9';
  const int from =
      std::clamp(number ? AtoiPrefix(text) : m_controls.Position(id), 1, kMeasureCapacity);
  const int to = std::clamp(from + delta, 1, kMeasureCapacity);
  m_controls.SetPosition(id, to);
  if (text != std::to_string(to)) SetBeatsPerMeasureText(std::to_string(to));
}

void MetronomeDialog::OnSysCommand(unsigned id) {
  if (m_windowGone) return;
  // Matched with the low four bits masked off, so 16 to 31 all mean About.
  const unsigned command = id & 0xFFF0u;
  // Modal to this window; playing goes on meanwhile.
  if (command == static_cast<unsigned>(kIdAboutCommand)) m_host.OpenAboutBox();
  if (command == static_cast<unsigned>(kIdPracticeCommand)) m_host.OpenPracticeWindow();
  if (command == static_cast<unsigned>(kIdExportCommand)) OnExportClickTrack();
}

void MetronomeDialog::OnExportClickTrack() {
  BeatFeed::Program program;
  if (const MeasureParseResult parsed = m_sequencer.ProgramToPlay(program);
      parsed != MeasureParseResult::Ok) {
    ShowErrorBox(kMeasureErrorCaption, MeasureParseMessage(parsed));
    return;
  }
  m_host.OpenExportBox(program);
}

void MetronomeDialog::OnClose() {
  if (m_windowGone) return;
  SaveSettings(nullptr);
  OnDestroy();
}

void MetronomeDialog::OnDestroy() {
  // The window is gone for good from here: the engine may go on sounding what is queued
  // until the program ends, but queues nothing more and nothing it reports reaches a control.
  m_windowGone = true;
  if (m_tempoPending) {
    m_tempoPending = false;
    m_host.KillTimer(kTempoTimer);
  }
  m_mailbox.Close();
  m_sequencer.ReleaseFeed();
}

// --- Transport ---

void MetronomeDialog::TogglePlay() {
  // A tempo still waiting for the typing to pause is the one shown: a Stop keeps it for the next
  // Play, and nothing should change it a moment after a Play.
  if (m_tempoPending) ApplyTempo();
  m_sequencer.TogglePlay();
}

void MetronomeDialog::OnBeatPlayed(std::uint64_t run, int /*velocity*/, int /*note*/) {
  if (m_windowGone) return;
  if (m_sequencer.OnBeatPlayed(run) && m_practiceDialog != nullptr) {
    m_practiceDialog->ShowMeasures();
  }
}

void MetronomeDialog::OnTempoChanged(std::uint64_t run, std::uint32_t tempoSerial, int bpm) {
  // A trainer step the user's own tempo has overridden since it was queued is not shown.
  if (m_windowGone || tempoSerial != m_player.TempoSerial()) return;
  m_sequencer.OnTrainerTempo(run, bpm);
}

void MetronomeDialog::ShowTempo(int bpm) {
  // Shown without running the field's handler: it is the tempo in force, not the user's.
  m_bpm = bpm;
  m_controls.SetText(kIdTempoEdit, std::to_string(bpm));
  m_controls.SetPosition(kIdTempoSlider, BpmToSlider(bpm));
}

// --- Practice tools ---

void MetronomeDialog::SetPractice(const PracticeSettings& practice) {
  if (m_windowGone) return;
  m_sequencer.SetPractice(practice);
  EnableSave(true);
}

void MetronomeDialog::SetTappedTempo(int bpm) {
  if (m_windowGone) return;
  // As if typed: the slider follows, a playing engine takes it at once, Save is enabled.
  SetTempoText(std::to_string(bpm));
}

void MetronomeDialog::ShowPractice(const PracticeSettings& practice) {
  m_sequencer.SetPractice(practice);
  if (m_practiceDialog != nullptr) m_practiceDialog->ShowPractice();
}

void MetronomeDialog::OnMainBlinkerFrame(std::uint64_t run, int frame) {
  // A frame sounded before a Stop must not light the blinker the Stop has just blanked: the
  // engine is held now, so nothing would fade it until the next start.
  if (m_windowGone || !m_sequencer.IsCurrentRun(run)) return;
  m_controls.SetFrame(kIdMainBlinker, frame);
}

void MetronomeDialog::OnMidiError(std::string_view text) {
  m_host.ShowMessageBox(kMidiErrorCaption, text, MessageIcon::kError, MessageButtons::kOk);
}

bool MetronomeDialog::IsCustomStyleSelected() const {
  return m_controls.IsChecked(kIdCustom);
}

std::string MetronomeDialog::CustomMeasureText() const {
  return m_controls.Text(kIdCustomMeasure);
}

void MetronomeDialog::ShowErrorBox(std::string_view caption, std::string_view text) {
  m_host.ShowMessageBox(caption, text, MessageIcon::kError, MessageButtons::kOk);
}

void MetronomeDialog::SetPlayButtonCaption(std::string_view caption) {
  m_controls.SetText(kIdPlay, caption);
}

void MetronomeDialog::SetPlayButtonToolTip(std::string_view text) {
  m_controls.SetToolTip(kIdPlay, text);
}

void MetronomeDialog::BlankMainBlinker() {
  m_controls.SetFrame(kIdMainBlinker, 0);
}

// --- Settings changes and the default button ---

void MetronomeDialog::OnSettingsChanged() {
  m_controls.SetSelection(kIdPresetCombo, -1);
  m_controls.SetEnabled(kIdDeletePreset, false);
  m_controls.SetDefaultButton(0);
}

void MetronomeDialog::EnableSave(bool enabled) {
  m_controls.SetEnabled(kIdSavePreset, enabled);
}

void MetronomeDialog::EnableDelete(bool enabled) {
  m_controls.SetEnabled(kIdDeletePreset, enabled);
}

void MetronomeDialog::MakeSaveDefault() {
  m_controls.SetDefaultButton(kIdSavePreset);
}

// --- Tempo ---

void MetronomeDialog::OnTempoEditChange(bool typed) {
  const int number = AtoiPrefix(m_controls.Text(kIdTempoEdit));
  // Unsigned comparison: a negative number is above the top, not below the bottom.
  const auto value = static_cast<unsigned>(number);
  if (value < static_cast<unsigned>(kMinBpm)) {
    m_bpm = kMinBpm;
  } else if (value > static_cast<unsigned>(kMaxBpm)) {
    m_bpm = kMaxBpm;
  } else {
    m_bpm = number;
  }
  m_controls.SetPosition(kIdTempoSlider, BpmToSlider(m_bpm));
  if (typed && IsPlaying()) {
    // "1", "14" on the way to "140" are not tempos anyone asked for: the engine gets the
    // tempo once the typing pauses, or when the field loses the focus. Each keystroke starts
    // the wait again.
    m_tempoPending = true;
    m_host.SetTimer(kTempoTimer, kTempoTypingPauseMs);
  } else {
    ApplyTempo();
  }
  EnableSave(true);
}

void MetronomeDialog::ApplyTempo() {
  if (m_tempoPending) {
    m_tempoPending = false;
    m_host.KillTimer(kTempoTimer);
  }
  m_sequencer.OnTempoChanged(m_bpm);
}

void MetronomeDialog::OnTimer(int id) {
  if (id == kTempoTimer && m_tempoPending && !m_windowGone) ApplyTempo();
}

void MetronomeDialog::OnTempoEditKillFocus() {
  SetTempoText(std::to_string(m_bpm));
  OnSettingsChanged();
}

void MetronomeDialog::SetTempoText(std::string_view text) {
  // Setting the field's text is a change of it, the same text included.
  m_controls.SetText(kIdTempoEdit, text);
  OnTempoEditChange();
}

// --- Sliders, instruments, blink ---

void MetronomeDialog::OnHScroll(int id, bool dragging) {
  if (m_windowGone) return;
  if (id == kIdTempoSlider) {
    // The field's change handler sets the tempo and snaps the thumb to the whole tempo.
    const int position = m_controls.Position(id);
    const int left = BpmToSlider(m_bpm);  // where the thumb was: the tempo's own place
    int bpm = SliderToBpm(position);
    // Whole tempos lie 1.3 to 11 positions apart, so a key's or a wheel notch's step would
    // round back to the tempo it left and the thumb would snap back: a step (never a drag)
    // goes at least to the next whole tempo in its direction.
    if (bpm == m_bpm && !dragging && position != left) {
      bpm = std::clamp(bpm + (position > left ? 1 : -1), kMinBpm, kMaxBpm);
    }
    SetTempoText(std::to_string(bpm));
  } else {
    for (int n = 0; n < kVoiceCount; ++n) {
      if (id == kIdVoiceVolume[n]) SetVoiceVolume(n, m_controls.Position(id));
      if (id == kIdVoiceBlinkSize[n]) SetVoiceBlinkSize(n, m_controls.Position(id));
    }
  }
  EnableSave(true);
}

void MetronomeDialog::OnInstrumentChange(int voice) {
  const int position = m_controls.Selection(kIdVoiceInstrument[Index(voice)]);
  if (PercussionTable::IsListPosition(position)) {
    m_sequencer.SetVoiceInstrument(
        voice, PercussionTable::comboToInstrument[static_cast<std::size_t>(position)]);
  }
  OnSettingsChanged();
}

void MetronomeDialog::OnBlinkClicked() {
  m_blinking = m_controls.IsChecked(kIdBlink);
  m_player.SetBlinking(m_blinking);
}

void MetronomeDialog::SetVoiceInstrument(int voice, int instrument) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceInstrument(static_cast<int>(i), instrument);
  m_controls.SetSelection(kIdVoiceInstrument[i],
                          PercussionTable::instrumentToCombo[static_cast<std::size_t>(
                              m_sequencer.Voices().m_instrument[i])]);
}

void MetronomeDialog::SetVoiceVolume(int voice, int volume) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceVolume(static_cast<int>(i), volume);
  m_controls.SetPosition(kIdVoiceVolume[i], m_sequencer.Voices().m_volume[i]);
}

void MetronomeDialog::SetVoiceBlinkSize(int voice, int blinkSize) {
  const auto i = Index(voice);
  m_sequencer.SetVoiceBlinkSize(static_cast<int>(i), blinkSize);
  m_controls.SetPosition(kIdVoiceBlinkSize[i], m_sequencer.Voices().m_blinkSize[i]);
  m_controls.SetFrame(kIdVoiceBlinker[i], m_sequencer.Voices().m_blinkSize[i]);
}

int MetronomeDialog::Instrument(int voice) const {
  return m_sequencer.Voices().m_instrument[Index(voice)];
}

int MetronomeDialog::Volume(int voice) const {
  return m_sequencer.Voices().m_volume[Index(voice)];
}

int MetronomeDialog::BlinkSize(int voice) const {
  return m_sequencer.Voices().m_blinkSize[Index(voice)];
}

// --- Measure styles and fields ---

void MetronomeDialog::CheckStyleButton(MetronomeStyle style) {
  // The three buttons are one group: checking one clears the other two.
  m_controls.SetChecked(kIdStraight, style == MetronomeStyle::Straight);
  m_controls.SetChecked(kIdSimpleMeasure, style == MetronomeStyle::SimpleMeasure);
  m_controls.SetChecked(kIdCustom, style == MetronomeStyle::Custom);
}

void MetronomeDialog::SetStraightStyle() {
  if (!m_controls.IsChecked(kIdStraight)) return;
  m_style = MetronomeStyle::Straight;
  m_controls.SetEnabled(kIdBeatsEdit, false);
  m_controls.SetEnabled(kIdBeatsUpDown, false);
  m_controls.SetEnabled(kIdCustomMeasure, false);
  m_sequencer.SetStraightStyle();
  OnSettingsChanged();
}

void MetronomeDialog::SetSimpleMeasureStyle() {
  m_style = MetronomeStyle::SimpleMeasure;
  m_controls.SetEnabled(kIdBeatsEdit, true);
  m_controls.SetEnabled(kIdBeatsUpDown, true);
  m_controls.SetEnabled(kIdCustomMeasure, false);
  OnBeatsPerMeasureChanged();
  OnSettingsChanged();
}

void MetronomeDialog::SetCustomStyle() {
  m_style = MetronomeStyle::Custom;
  m_controls.SetEnabled(kIdBeatsEdit, false);
  m_controls.SetEnabled(kIdBeatsUpDown, false);
  m_controls.SetEnabled(kIdCustomMeasure, true);
  OnCustomMeasureChanged();
  OnSettingsChanged();
}

void MetronomeDialog::ApplyStyle(MetronomeStyle style) {
  CheckStyleButton(style);
  switch (style) {
    case MetronomeStyle::Straight:
      SetStraightStyle();
      break;
    case MetronomeStyle::SimpleMeasure:
      SetSimpleMeasureStyle();
      break;
    case MetronomeStyle::Custom:
      SetCustomStyle();
      break;
  }
}

void MetronomeDialog::OnBeatsPerMeasureChanged() {
  m_sequencer.OnBeatsPerMeasureChanged(m_controls.Text(kIdBeatsEdit));
  OnSettingsChanged();
}

void MetronomeDialog::OnCustomMeasureChanged() {
  m_sequencer.OnCustomMeasureChanged();
  OnSettingsChanged();
}

void MetronomeDialog::SetBeatsPerMeasureText(std::string_view text) {
  m_controls.SetText(kIdBeatsEdit, text);
  OnBeatsPerMeasureChanged();
}

void MetronomeDialog::SetCustomMeasureText(std::string_view text) {
  m_controls.SetText(kIdCustomMeasure, text);
  OnCustomMeasureChanged();
}

void MetronomeDialog::ShowBlinking(bool on) {
  m_controls.SetChecked(kIdBlink, on);
  OnBlinkClicked();
}

std::string MetronomeDialog::BeatsPerMeasureText() const {
  return m_controls.Text(kIdBeatsEdit);
}

// --- Settings and presets ---

void MetronomeDialog::LoadSettings(const char* presetName) {
  SettingsStore(m_registry, *this).LoadSettings(NameOf(presetName));
}

bool MetronomeDialog::SaveSettings(const char* presetName) {
  return SettingsStore(m_registry, *this).SaveSettings(NameOf(presetName));
}

void MetronomeDialog::OnPresetSelected() {
  SettingsStore(m_registry, *this).OnPresetSelected();
}

void MetronomeDialog::OnSavePreset() {
  SettingsStore(m_registry, *this).OnSavePreset();
}

void MetronomeDialog::OnDeletePreset() {
  SettingsStore(m_registry, *this).OnDeletePreset();
}

void MetronomeDialog::OnPresetTextChanged() {
  SettingsStore(m_registry, *this).OnPresetTextChanged();
}

int MetronomeDialog::PresetCount() const {
  return m_controls.ItemCount(kIdPresetCombo);
}

std::string MetronomeDialog::PresetText(int position) const {
  return m_controls.ItemText(kIdPresetCombo, position);
}

void MetronomeDialog::InsertPreset(int position, std::string_view name) {
  m_controls.InsertItem(kIdPresetCombo, position, name);
}

void MetronomeDialog::RemovePreset(int position) {
  m_controls.RemoveItem(kIdPresetCombo, position);
}

int MetronomeDialog::SelectedPreset() const {
  return m_controls.Selection(kIdPresetCombo);
}

void MetronomeDialog::SelectPreset(int position) {
  m_controls.SetSelection(kIdPresetCombo, position);
}

std::string MetronomeDialog::PresetNameText() const {
  return m_controls.Text(kIdPresetCombo);
}

bool MetronomeDialog::AskYesNo(std::string_view caption, std::string_view text) {
  return m_host.ShowMessageBox(caption, text, MessageIcon::kQuestion, MessageButtons::kYesNo) ==
         MessageResult::kYes;
}

void MetronomeDialog::ShowError(std::string_view caption, std::string_view text) {
  m_host.ShowMessageBox(caption, text, MessageIcon::kError, MessageButtons::kOk);
}

// --- Folding ---

Size MetronomeDialog::FrameSize() const {
  const Size client = m_host.ClientSize();
  const WindowRect outer = m_host.WindowPlace();
  return Size{outer.right - outer.left - client.width, outer.bottom - outer.top - client.height};
}

void MetronomeDialog::CaptureLayout() {
  // Taken from the controls at their created places, before the stored rectangle resizes the
  // window.
  std::array<Rect, kAnchorCount> anchors;
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    anchors[k] = m_controls.Place(kAnchoredControlIds[k]);
  }
  m_layout.Capture(m_host.ClientSize(), FrameSize(), anchors, m_controls.Place(kIdVoiceVolume[0]).y,
                   m_controls.Place(kIdVoiceVolume[1]).y);
  m_host.SetSizeLimits(m_layout.Limits());
}

void MetronomeDialog::OnFrameChanged() {
  if (!m_layout.m_layoutReady) return;
  const Size frame = FrameSize();
  if (frame == m_layout.m_frame) return;
  m_layout.FrameChanged(frame);
  m_host.SetSizeLimits(m_layout.Limits());
  // Until the frame is known (on X11 only once the window is shown) the window was placed
  // without it, and where the system put a first-started window is its business: either way
  // the title bar may now be off the screen, where it cannot be grabbed.
  KeepWindowOnScreen();
}

void MetronomeDialog::KeepWindowOnScreen() {
  const WindowRect place = m_host.WindowPlace();
  const WindowRect kept = KeepOnScreen(place, m_host.Screens());
  if (kept != place) m_host.MoveWindow(kept);
}

void MetronomeDialog::PlaceFirstStart() {
  const std::vector<WindowRect> screens = m_host.Screens();
  if (screens.empty() || !m_layout.m_layoutReady) return;
  // Placed here rather than left to the system: a system that centres the window without
  // knowing the frame it will get can put the title bar above a screen the window nearly
  // fills. Given a place, the frame's corner goes there.
  const WindowRect& screen = screens.front();
  const Size client = m_host.ClientSize();
  const Size frame = m_layout.m_frame;
  const int width = client.width + frame.width;
  const int height = client.height + frame.height;
  const int left = screen.left + (screen.right - screen.left - width) / 2;
  const int top = screen.top + (screen.bottom - screen.top - height) / 2;
  const WindowRect kept = KeepOnScreen({left, top, left + width, top + height}, screens);
  m_host.MoveWindowClient(kept.left, kept.top,
                          Size{client.width, kept.bottom - kept.top - frame.height});
}

void MetronomeDialog::MoveWindowTo(WindowRect rect, std::optional<int> rows) {
  m_placed = true;
  if (!rows || !m_layout.m_layoutReady) {
    m_host.MoveWindow(rect);
    return;
  }
  // The rows it showed, not its height: a font or scale changed since then gives rows another
  // height, and the full window should open full, not with voice 9 folded or a band below it.
  // Sized by its client area: the frame it will get may not be known yet.
  const Size client{m_layout.m_fullWidth - m_layout.m_frame.width,
                    m_layout.ClientHeightForRows(*rows)};
  const WindowRect outer{rect.left, rect.top, rect.left + client.width + m_layout.m_frame.width,
                         rect.top + client.height + m_layout.m_frame.height};
  const WindowRect kept = KeepOnScreen(outer, m_host.Screens());
  m_host.MoveWindowClient(kept.left, kept.top,
                          Size{client.width, std::min(client.height, kept.bottom - kept.top -
                                                                         m_layout.m_frame.height)});
}

std::optional<int> MetronomeDialog::VisibleRows() const {
  if (!m_layout.m_layoutReady) return std::nullopt;
  // Measured as OnSize folds: the client height and the frame the layout knows.
  return m_layout.StoredRowsAt(m_host.ClientSize().height + m_layout.m_frame.height);
}

void MetronomeDialog::OnDpiChanged(int newDpi, int oldDpi) {
  if (!m_layout.m_layoutReady || newDpi == oldDpi) return;
  m_layout.Rescale(newDpi, oldDpi);
  m_host.SetSizeLimits(m_layout.Limits());
}

void MetronomeDialog::OnSize() {
  if (!m_layout.m_layoutReady) return;
  OnFrameChanged();
  const Size client = m_host.ClientSize();
  const FoldState fold = m_layout.FoldAt(client.height + m_layout.m_frame.height);

  // Every control is shown or hidden on every size change, whatever its state was; rows top
  // down, each row's controls left to right.
  for (int row = 0; row < kFoldingRows; ++row) {
    for (int id : {kIdVoiceLabel[row], kIdVoiceInstrument[row], kIdVoiceVolume[row],
                   kIdVoiceBlinkSize[row], kIdVoiceBlinker[row]}) {
      m_controls.SetVisible(id, row < fold.visibleRows);
    }
  }
  for (int id : {kIdVolumeHeading, kIdVoicesHeading, kIdBlink}) {
    m_controls.SetVisible(id, fold.headerShown);
  }
  for (int id : {kIdHelpText, kIdHelpFrame}) m_controls.SetVisible(id, fold.helpShown);

  for (int k = 0; k < kAnchorCount; ++k) {
    m_controls.SetPlace(kAnchoredControlIds[static_cast<std::size_t>(k)],
                        m_layout.AnchorPlace(k, client.height));
  }
  // One immediate repaint of the bottom band (grown by the growth, so the places the anchored
  // controls left are painted over too) instead of one per control.
  m_host.Repaint(m_layout.RepaintBand(client.width, client.height, s_prevClientHeight));
}

}  // namespace ticktavo
