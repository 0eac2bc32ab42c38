#include <algorithm>
#include <array>

#include "res/dialog_template.h"
#include "res/resource_ids.h"

namespace ticktavo {

namespace {

using K = ControlKind;

constexpr unsigned kSliderStyle = kStyleTabStop | kStyleNoTicks;
constexpr unsigned kInstrumentStyle = kStyleTabStop | kStyleVScroll;
constexpr unsigned kVoiceLabelStyle = kStyleCenterVertical;
constexpr unsigned kVoiceBlinkerStyle = kStyleSunken | kStyleRealSizeImage;

// Voice row n (1..9) has its top at 97 + 14 (n - 1); its sliders sit one unit lower.
constexpr int RowTop(int voice) {
  return 97 + 14 * (voice - 1);
}

#define VOICE_COMBO(v, id) \
  { id, K::kComboDropList, "", 17, RowTop(v), 94, 85, kInstrumentStyle, 0 }
#define VOICE_VOLUME(v, id) \
  { id, K::kSlider, "", 115, RowTop(v) + 1, 29, 10, kSliderStyle, 0 }
#define VOICE_LABEL(v, id, text) \
  { id, K::kStaticText, text, 7, RowTop(v), 10, 12, kVoiceLabelStyle, 0 }
#define VOICE_BLINK_SIZE(v, id) \
  { id, K::kSlider, "", 144, RowTop(v) + 1, 25, 10, kSliderStyle, 0 }
#define VOICE_BLINKER(v, id) \
  { id, K::kIconStatic, "", 169, RowTop(v), 20, 20, kVoiceBlinkerStyle, kIdFirstBlinkerIcon }

// The order is the tab order of the window.
constexpr std::array<ControlTemplate, 65> kMainControls = {{
    {kIdStraight, K::kRadioButton, "&Straight Metronome", 7, 7, 79, 10, kStyleGroup | kStyleTabStop,
     0},
    {kIdSimpleMeasure, K::kRadioButton, "Simple &Measure", 7, 21, 62, 10, kStyleNone, 0},
    {kIdCustom, K::kRadioButton, "&Custom", 7, 35, 38, 10, kStyleNone, 0},
    {kIdBeatsEdit, K::kEdit, "", 72, 20, 30, 12,
     kStyleDigitsOnly | kStyleBorder | kStyleAutoHScroll | kStyleTabStop | kStyleDisabled, 0},
    {kIdBeatsUpDown, K::kUpDown, "", 101, 20, 7, 12,
     kStyleAutoBuddy | kStyleSetBuddyInt | kStyleAlignRight | kStyleArrowKeys | kStyleDisabled, 0},
    {kIdCustomMeasure, K::kEdit, "", 48, 34, 131, 12,
     kStyleBorder | kStyleAutoHScroll | kStyleTabStop | kStyleDisabled, 0},
    {kIdPlay, K::kPushButton, "&Play", 137, 5, 42, 24, kStyleTabStop, 0},
    {kIdHelpFrame, K::kGroupBox, "How to use the Custom option", 7, 49, 173, 30, kStyleNone, 0},
    {kIdHelpText, K::kStaticText,
     "For each beat in your measure, enter 0 for silence or a number from 1 to 9 for one of "
     "the sounds below",
     12, 59, 165, 18, kStyleWordWrap, 0},
    VOICE_COMBO(1, 1017),
    VOICE_VOLUME(1, 1025),
    VOICE_COMBO(2, 1020),
    VOICE_VOLUME(2, 1026),
    VOICE_COMBO(3, 1022),
    VOICE_VOLUME(3, 1027),
    VOICE_COMBO(4, 1032),
    VOICE_VOLUME(4, 1033),
    VOICE_LABEL(4, 1034, "4"),
    VOICE_COMBO(5, 1035),
    VOICE_VOLUME(5, 1036),
    VOICE_LABEL(5, 1037, "5"),
    VOICE_COMBO(6, 1038),
    VOICE_VOLUME(6, 1039),
    VOICE_LABEL(6, 1040, "6"),
    VOICE_COMBO(7, 1041),
    VOICE_VOLUME(7, 1042),
    VOICE_LABEL(7, 1043, "7"),
    VOICE_COMBO(8, 1044),
    VOICE_VOLUME(8, 1045),
    VOICE_LABEL(8, 1046, "8"),
    VOICE_COMBO(9, 1047),
    VOICE_VOLUME(9, 1048),
    VOICE_LABEL(9, 1049, "9"),
    {kIdTempoSlider, K::kSlider, "", 36, 227, 115, 10, kSliderStyle, 0},
    {kIdTempoEdit, K::kEdit, "", 153, 226, 23, 12,
     kStyleDigitsOnly | kStyleBorder | kStyleAutoHScroll | kStyleTabStop, 0},
    {kIdTempoLabel, K::kStaticText, "Tempo", 7, 228, 30, 8, kStyleNone, 0},
    VOICE_LABEL(1, 1018, "1"),
    VOICE_LABEL(2, 1019, "2"),
    VOICE_LABEL(3, 1021, "3"),
    {kIdPresetCombo, K::kComboDropDown, "", 7, 247, 97, 85,
     kStyleSorted | kStyleAutoHScroll | kStyleVScroll | kStyleTabStop, 0},
    {kIdDeletePreset, K::kPushButton, "Delete", 145, 247, 31, 12, kStyleTabStop, 0},
    {kIdPresetsFrame, K::kGroupBox, "Presets", 3, 238, 179, 26, kStyleNone, 0},
    {kIdSavePreset, K::kPushButton, "Save", 109, 247, 31, 12, kStyleTabStop, 0},
    {kIdMainBlinker, K::kIconStatic, "", 107, 6, 20, 20, kStyleSunken, kIdFirstBlinkerIcon + 9},
    VOICE_BLINK_SIZE(1, 1029),
    VOICE_BLINK_SIZE(2, 1052),
    VOICE_BLINK_SIZE(3, 1054),
    VOICE_BLINK_SIZE(4, 1055),
    VOICE_BLINK_SIZE(5, 1056),
    VOICE_BLINK_SIZE(6, 1057),
    VOICE_BLINK_SIZE(7, 1058),
    VOICE_BLINK_SIZE(8, 1059),
    VOICE_BLINK_SIZE(9, 1060),
    {kIdVolumeHeading, K::kStaticText, "Volume", 117, 85, 24, 8, kStyleNone, 0},
    {kIdBlink, K::kCheckBox, "&Blink", 146, 84, 31, 10, kStyleTabStop, 0},
    VOICE_BLINKER(1, 5000),
    VOICE_BLINKER(2, 5001),
    VOICE_BLINKER(3, 5002),
    VOICE_BLINKER(4, 5003),
    VOICE_BLINKER(5, 5004),
    VOICE_BLINKER(6, 5005),
    VOICE_BLINKER(7, 5006),
    VOICE_BLINKER(8, 5007),
    VOICE_BLINKER(9, 5008),
    {kIdVoicesHeading, K::kStaticText, "Voices", 51, 85, 22, 8, kStyleNone, 0},
}};

#undef VOICE_COMBO
#undef VOICE_VOLUME
#undef VOICE_LABEL
#undef VOICE_BLINK_SIZE
#undef VOICE_BLINKER

constexpr bool IdsAreUnique() {
  for (std::size_t i = 0; i < kMainControls.size(); ++i) {
    for (std::size_t j = i + 1; j < kMainControls.size(); ++j) {
      if (kMainControls[i].id == kMainControls[j].id) return false;
    }
  }
  return true;
}
static_assert(IdsAreUnique(), "every control of the main window has its own identifier");

const DialogTemplate kMainDialog = {
    kIdMainDialog,
    "Ticktavo",
    "MS Sans Serif",
    8,
    186,
    268,
    kDialogCaption | kDialogSystemMenu | kDialogSizingBorder | kDialogMinimizeBox | kDialogVisible |
        kDialogAppWindow,
    kMainControls,
};

}  // namespace

const ControlTemplate* DialogTemplate::Find(int controlId) const {
  auto it = std::find_if(controls.begin(), controls.end(),
                         [controlId](const ControlTemplate& c) { return c.id == controlId; });
  return it == controls.end() ? nullptr : &*it;
}

const DialogTemplate& MainDialogTemplate() {
  return kMainDialog;
}

}  // namespace ticktavo
