#pragma once

#include "res/dialog_template.h"

namespace ticktavo {

// Controls of the Export Click Track box.
inline constexpr int kIdExportOk = 1;      // "&Export": starts the export
inline constexpr int kIdExportCancel = 2;  // closes the box, or stops a running export
inline constexpr int kIdExportMeasuresLabel = 1200;
inline constexpr int kIdExportMeasures = 1201;
inline constexpr int kIdExportMeasuresUpDown = 1202;
inline constexpr int kIdExportRateLabel = 1203;
inline constexpr int kIdExportRate = 1204;
inline constexpr int kIdExportFormatLabel = 1205;
inline constexpr int kIdExportFormat = 1206;
inline constexpr int kIdExportFileLabel = 1207;
inline constexpr int kIdExportFile = 1208;
inline constexpr int kIdExportBrowse = 1209;
inline constexpr int kIdExportSummary = 1210;  // what will be exported, and how long it lasts
inline constexpr int kIdExportProgress = 1211;
inline constexpr int kIdExportStatus = 1212;

// Template 105: the Export Click Track box, modal to the main window.
const DialogTemplate& ExportDialogTemplate();

}  // namespace ticktavo
