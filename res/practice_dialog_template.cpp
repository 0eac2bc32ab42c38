#include "res/practice_dialog_template.h"

#include <array>

#include "res/resource_ids.h"

namespace ticktavo {

namespace {

using K = ControlKind;

constexpr unsigned kNumberStyle = kStyleTabStop | kStyleBorder | kStyleDigitsOnly;

// A labelled number: label, field and unit on one line whose top is y.
constexpr ControlTemplate Label(int id, const char* text, int y) {
  return {id, K::kStaticText, text, 20, y + 2, 40, 8, kStyleNone, 0};
}
constexpr ControlTemplate Number(int id, int y) {
  return {id, K::kEdit, "", 62, y, 28, 12, kNumberStyle, 0};
}
constexpr ControlTemplate Unit(int id, const char* text, int y) {
  return {id, K::kStaticText, text, 94, y + 2, 50, 8, kStyleNone, 0};
}

// The order is the tab order of the window.
constexpr std::array<ControlTemplate, 22> kPracticeControls = {{
    {kIdTapFrame, K::kGroupBox, "Tap tempo", 4, 3, 148, 32, kStyleNone, 0},
    {kIdTap, K::kPushButton, "&Tap", 11, 14, 42, 14, kStyleTabStop | kStyleGroup, 0},
    {kIdTapResult, K::kStaticText, "", 58, 17, 90, 8, kStyleNone, 0},
    {kIdTrainer, K::kCheckBox, "Speed &trainer", 7, 41, 80, 10, kStyleTabStop | kStyleGroup, 0},
    Label(kIdTrainerStepLabel, "Step", 54),
    Number(kIdTrainerStep, 54),
    Unit(kIdTrainerStepUnit, "BPM", 54),
    Label(kIdTrainerEveryLabel, "Every", 69),
    Number(kIdTrainerEvery, 69),
    Unit(kIdTrainerEveryUnit, "measures", 69),
    Label(kIdTrainerTargetLabel, "Up to", 84),
    Number(kIdTrainerTarget, 84),
    Unit(kIdTrainerTargetUnit, "BPM", 84),
    {kIdMute, K::kCheckBox, "&Mute measures", 7, 103, 80, 10, kStyleTabStop | kStyleGroup, 0},
    Label(kIdMutePlayedLabel, "Play", 116),
    Number(kIdMutePlayed, 116),
    Unit(kIdMutePlayedUnit, "measures", 116),
    Label(kIdMuteSilentLabel, "Then mute", 131),
    Number(kIdMuteSilent, 131),
    Unit(kIdMuteSilentUnit, "measures", 131),
    {kIdMeasuresLabel, K::kStaticText, "Measures since Play:", 7, 152, 80, 8, kStyleNone, 0},
    {kIdMeasures, K::kStaticText, "0", 88, 152, 50, 8, kStyleNone, 0},
}};

const DialogTemplate kPracticeDialog = {
    kIdPracticeDialog, "Practice", "MS Sans Serif", 8, 156, 166, kDialogCaption | kDialogSystemMenu,
    kPracticeControls,
};

}  // namespace

const DialogTemplate& PracticeDialogTemplate() {
  return kPracticeDialog;
}

}  // namespace ticktavo
