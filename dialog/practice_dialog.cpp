#include "dialog/practice_dialog.h"

#include <algorithm>
#include <string>

#include "res/practice_dialog_template.h"
#include "rhythm/sequencer.h"
#include "store/stored_settings.h"

namespace ticktavo {

const PracticeDialog::NumberField PracticeDialog::kNumbers[5] = {
    {kIdTrainerStep, 1, 100, &PracticeSettings::trainerStep},
    {kIdTrainerEvery, 1, 64, &PracticeSettings::trainerEvery},
    {kIdTrainerTarget, kMinBpm, kMaxBpm, &PracticeSettings::trainerTarget},
    {kIdMutePlayed, 1, 64, &PracticeSettings::mutePlayed},
    {kIdMuteSilent, 1, 64, &PracticeSettings::muteSilent},
};

PracticeDialog::PracticeDialog(DialogControls& controls, PracticeTarget& target, Clock& clock)
    : m_controls(controls), m_target(target), m_clock(clock) {}

void PracticeDialog::OnInitDialog() {
  m_controls.SetToolTip(kIdTap, "Tap with the beat to set the tempo (T key)");
  m_controls.SetToolTip(kIdTrainer, "Raise the tempo step by step while you play");
  m_controls.SetToolTip(kIdMute, "Play some measures, then keep time in silence");
  m_controls.SetText(kIdTapResult, "Tap with the beat");
  ShowPractice();
  ShowMeasures();
  m_controls.SetFocus(kIdTap);
}

void PracticeDialog::ShowPractice() {
  const PracticeSettings practice = m_target.Practice();
  m_controls.SetChecked(kIdTrainer, practice.trainer);
  m_controls.SetChecked(kIdMute, practice.mute);
  for (const NumberField& field : kNumbers) {
    m_controls.SetText(field.id, std::to_string(practice.*field.value));
  }
  EnableFields(practice);
}

void PracticeDialog::EnableFields(const PracticeSettings& practice) {
  for (int id : {kIdTrainerStep, kIdTrainerEvery, kIdTrainerTarget}) {
    m_controls.SetEnabled(id, practice.trainer);
  }
  for (int id : {kIdMutePlayed, kIdMuteSilent}) m_controls.SetEnabled(id, practice.mute);
}

void PracticeDialog::ShowMeasures() {
  const int finished = m_target.MeasuresPlayed();
  if (finished == m_shownMeasures) return;
  m_shownMeasures = finished;
  // The measure now playing, counted from 1; nothing played yet is 0.
  m_controls.SetText(kIdMeasures, std::to_string(finished < 0 ? 0 : finished + 1));
}

void PracticeDialog::OnCommand(int id, Notification code) {
  if (id == kIdTap && code == Notification::kClicked) {
    OnTap();
    return;
  }
  if ((id == kIdTrainer || id == kIdMute) && code == Notification::kClicked) {
    OnSwitchClicked();
    return;
  }
  for (const NumberField& field : kNumbers) {
    if (field.id != id) continue;
    if (code == Notification::kChanged) OnNumberChanged(field);
    if (code == Notification::kKillFocus) OnNumberKillFocus(field);
  }
}

void PracticeDialog::OnTap() {
  OnTapAt(m_clock.Now(), m_clock.Frequency());
}

void PracticeDialog::OnTapAt(std::int64_t time, std::int64_t frequency) {
  const std::optional<int> bpm = m_taps.Tap(time, frequency);
  if (!bpm) {
    m_controls.SetText(kIdTapResult, "Keep tapping...");
    return;
  }
  m_controls.SetText(kIdTapResult,
                     std::to_string(*bpm) + " BPM (" + std::to_string(m_taps.Count()) + " taps)");
  m_target.SetTappedTempo(*bpm);
}

void PracticeDialog::OnSwitchClicked() {
  PracticeSettings practice = m_target.Practice();
  practice.trainer = m_controls.IsChecked(kIdTrainer);
  practice.mute = m_controls.IsChecked(kIdMute);
  m_target.SetPractice(practice);
  EnableFields(practice);
}

void PracticeDialog::OnNumberChanged(const NumberField& field) {
  // Taken at once, held to its range; the field keeps what is typed until it is left.
  PracticeSettings practice = m_target.Practice();
  practice.*field.value =
      std::clamp(AtoiPrefix(m_controls.Text(field.id)), field.minimum, field.maximum);
  m_target.SetPractice(practice);
}

void PracticeDialog::OnNumberKillFocus(const NumberField& field) {
  const std::string held = std::to_string(m_target.Practice().*field.value);
  if (m_controls.Text(field.id) != held) m_controls.SetText(field.id, held);
}

}  // namespace ticktavo
