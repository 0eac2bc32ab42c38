#pragma once

#include "dialog/dialog_controls.h"
#include "dialog/tap_tempo.h"
#include "engine/clock.h"
#include "rhythm/practice.h"

namespace ticktavo {

// The main window as the Practice window reaches it. MetronomeDialog implements it.
class PracticeTarget {
 public:
  virtual PracticeSettings Practice() const = 0;
  // The user changed a practice tool: it acts from the next beat queued, and Save is enabled.
  virtual void SetPractice(const PracticeSettings& practice) = 0;
  // A tapped tempo: the tempo field and slider show it, and a playing metronome takes it at
  // once, as a typed tempo.
  virtual void SetTappedTempo(int bpm) = 0;
  // Measures finished since Play before the beat sounded last; -1 before the first beat.
  virtual int MeasuresPlayed() const = 0;

 protected:
  ~PracticeTarget() = default;
};

// The Practice window as behaviour, over the controls of its template: tap tempo, the speed
// trainer and muted measures with their numbers, and the count of measures since Play. The
// window is modeless; the main window tells it when the settings were loaded (ShowPractice)
// and as beats are played (ShowMeasures). Number fields take the number they hold at once,
// held to its range, and show the held number when they lose the focus. Window's thread only;
// the controls, the target and the clock must outlive it.
class PracticeDialog {
 public:
  PracticeDialog(DialogControls& controls, PracticeTarget& target, Clock& clock);

  void OnInitDialog();
  void OnCommand(int id, Notification code);
  // A tap, from the Tap button or the T key (whatever control has the focus), now by the
  // dialog's clock.
  void OnTap();
  // A tap at this time of another clock (ticks at frequency): a front end that knows when the
  // key or button was pressed passes that, so a busy window does not move the tap. One count
  // must use one clock throughout.
  void OnTapAt(std::int64_t time, std::int64_t frequency);
  // The practice settings changed from outside (a preset loaded): the controls show them.
  void ShowPractice();
  // The main window played a beat: the count shows the measure now playing, from 1.
  void ShowMeasures();

  const TapTempo& Taps() const { return m_taps; }

 private:
  // The numbers' fields, their ranges and their place in the settings.
  struct NumberField {
    int id;
    int minimum;
    int maximum;
    int PracticeSettings::*value;
  };
  static const NumberField kNumbers[5];

  void OnNumberChanged(const NumberField& field);
  void OnNumberKillFocus(const NumberField& field);
  void OnSwitchClicked();
  // Fields enabled exactly when their tool is on.
  void EnableFields(const PracticeSettings& practice);

  DialogControls& m_controls;
  PracticeTarget& m_target;
  Clock& m_clock;
  TapTempo m_taps;
  int m_shownMeasures = -2;
};

}  // namespace ticktavo
