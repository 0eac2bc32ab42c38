#include "res/export_dialog_template.h"

#include <array>

#include "res/resource_ids.h"

namespace ticktavo {

namespace {

using K = ControlKind;

constexpr unsigned kLabelStyle = kStyleCenterVertical;
constexpr unsigned kListStyle = kStyleTabStop | kStyleVScroll;

// The order is the tab order of the box; each label comes right before its field.
constexpr std::array<ControlTemplate, 15> kExportControls = {{
    {kIdExportMeasuresLabel, K::kStaticText, "&Measures:", 7, 7, 50, 12, kLabelStyle, 0},
    {kIdExportMeasures, K::kEdit, "", 60, 7, 40, 12,
     kStyleDigitsOnly | kStyleBorder | kStyleAutoHScroll | kStyleTabStop | kStyleGroup, 0},
    {kIdExportMeasuresUpDown, K::kUpDown, "", 99, 7, 7, 12,
     kStyleAutoBuddy | kStyleSetBuddyInt | kStyleAlignRight | kStyleArrowKeys, 0},
    {kIdExportRateLabel, K::kStaticText, "Sample &rate:", 7, 23, 50, 12, kLabelStyle, 0},
    {kIdExportRate, K::kComboDropList, "", 60, 23, 60, 40, kListStyle, 0},
    {kIdExportFormatLabel, K::kStaticText, "F&ormat:", 7, 39, 50, 12, kLabelStyle, 0},
    {kIdExportFormat, K::kComboDropList, "", 60, 39, 60, 52, kListStyle, 0},
    {kIdExportFileLabel, K::kStaticText, "&File:", 7, 55, 50, 12, kLabelStyle, 0},
    {kIdExportFile, K::kEdit, "", 60, 55, 150, 12, kStyleBorder | kStyleAutoHScroll | kStyleTabStop,
     0},
    {kIdExportBrowse, K::kPushButton, "&Browse...", 214, 54, 44, 14, kStyleTabStop, 0},
    {kIdExportSummary, K::kStaticText, "", 7, 73, 251, 18, kStyleWordWrap, 0},
    {kIdExportProgress, K::kProgressBar, "", 7, 93, 251, 10, kStyleNone, 0},
    {kIdExportStatus, K::kStaticText, "", 7, 106, 251, 8, kStyleNone, 0},
    {kIdExportOk, K::kPushButton, "&Export", 158, 120, 48, 14, kStyleTabStop | kStyleGroup, 0},
    {kIdExportCancel, K::kPushButton, "Cancel", 210, 120, 48, 14, kStyleTabStop, 0},
}};

const DialogTemplate kExportDialog = {
    kIdExportDialog,
    "Export Click Track",
    "MS Sans Serif",
    8,
    265,
    141,
    kDialogCaption | kDialogSystemMenu | kDialogModalFrame,
    kExportControls,
};

}  // namespace

const DialogTemplate& ExportDialogTemplate() {
  return kExportDialog;
}

}  // namespace ticktavo
