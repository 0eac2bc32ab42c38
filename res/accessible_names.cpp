#include "res/accessible_names.h"

#include <array>

#include "res/practice_dialog_template.h"
#include "res/resource_ids.h"

namespace ticktavo {

namespace {

struct NamedControl {
  int id;
  const char* name;
};

constexpr std::array kNamedControls = {
    NamedControl{kIdBeatsEdit, "Beats per measure"},
    NamedControl{kIdBeatsUpDown, "Beats per measure arrows"},
    NamedControl{kIdCustomMeasure, "Custom measure"},
    NamedControl{kIdTempoSlider, "Tempo slider"},
    NamedControl{kIdTempoEdit, "Tempo"},
    NamedControl{kIdPresetCombo, "Preset"},
    NamedControl{kIdMainBlinker, "Beat"},
};

// The Practice window's number fields: each by its label and its unit.
constexpr std::array kPracticeFields = {
    NamedControl{kIdTrainerStep, "Trainer step, BPM"},
    NamedControl{kIdTrainerEvery, "Trainer every, measures"},
    NamedControl{kIdTrainerTarget, "Trainer up to, BPM"},
    NamedControl{kIdMutePlayed, "Play, measures"},
    NamedControl{kIdMuteSilent, "Then mute, measures"},
};

std::string VoiceName(int voice, const char* what) {
  return "Voice " + std::to_string(voice + 1) + " " + what;
}

}  // namespace

std::string MainWindowAccessibleName(int controlId) {
  for (const NamedControl& control : kNamedControls) {
    if (control.id == controlId) return control.name;
  }
  for (int voice = 0; voice < 9; ++voice) {
    if (controlId == kIdVoiceInstrument[voice]) return VoiceName(voice, "instrument");
    if (controlId == kIdVoiceVolume[voice]) return VoiceName(voice, "volume");
    if (controlId == kIdVoiceBlinkSize[voice]) return VoiceName(voice, "blinker size");
    if (controlId == kIdVoiceBlinker[voice]) return VoiceName(voice, "blinker");
  }
  return {};
}

std::string PracticeWindowAccessibleName(int controlId) {
  for (const NamedControl& control : kPracticeFields) {
    if (control.id == controlId) return control.name;
  }
  return {};
}

}  // namespace ticktavo
