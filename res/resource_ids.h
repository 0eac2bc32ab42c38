#pragma once

// Numeric identifiers of the program's resources and of the main window's controls. Commands
// sent by the keyboard accelerators carry the identifier of the control they stand for.

namespace ticktavo {

// Resources.
inline constexpr int kIdAboutDialog = 100;
inline constexpr int kIdStringAbout = 101;  // "&About Ticktavo..."
inline constexpr int kIdMainDialog = 102;
inline constexpr int kIdAppIcon = 128;
inline constexpr int kIdAccelerators = 129;
inline constexpr int kIdFirstBlinkerIcon = 130;  // 130..138 16-pixel set, 139..147 32-pixel set
inline constexpr int kIdAboutCommand = 16;       // the About item of the window menu
inline constexpr int kIdPracticeDialog = 103;
inline constexpr int kIdStringPractice = 104;  // "&Practice..."
inline constexpr int kIdPracticeCommand = 32;  // the Practice item of the window menu
inline constexpr int kIdExportDialog = 105;
inline constexpr int kIdStringExport = 106;  // "&Export Click Track..."
inline constexpr int kIdExportCommand = 48;  // the Export item of the window menu (48..63)

// Controls of the main window.
inline constexpr int kIdStraight = 4000;
inline constexpr int kIdSimpleMeasure = 4001;
inline constexpr int kIdCustom = 4002;
inline constexpr int kIdBeatsEdit = 3000;
inline constexpr int kIdBeatsUpDown = 3001;
inline constexpr int kIdCustomMeasure = 1004;
inline constexpr int kIdPlay = 1006;
inline constexpr int kIdExit = 1007;  // command only: closes the window
inline constexpr int kIdDeletePreset = 1008;
inline constexpr int kIdSavePreset = 1009;
inline constexpr int kIdTempoSlider = 1024;
inline constexpr int kIdPresetCombo = 1028;
inline constexpr int kIdPresetsFrame = 1030;
inline constexpr int kIdTempoLabel = 1031;
inline constexpr int kIdHelpText = 1050;
inline constexpr int kIdHelpFrame = 1051;
inline constexpr int kIdMainBlinker = 1053;
inline constexpr int kIdBlink = 1061;
inline constexpr int kIdVoicesHeading = 1062;
inline constexpr int kIdVolumeHeading = 1063;
inline constexpr int kIdTempoEdit = 2000;

// The nine voice rows, by voice index 0..8.
inline constexpr int kIdVoiceLabel[9] = {1018, 1019, 1021, 1034, 1037, 1040, 1043, 1046, 1049};
inline constexpr int kIdVoiceInstrument[9] = {1017, 1020, 1022, 1032, 1035, 1038, 1041, 1044, 1047};
inline constexpr int kIdVoiceVolume[9] = {1025, 1026, 1027, 1033, 1036, 1039, 1042, 1045, 1048};
inline constexpr int kIdVoiceBlinkSize[9] = {1029, 1052, 1054, 1055, 1056, 1057, 1058, 1059, 1060};
inline constexpr int kIdVoiceBlinker[9] = {5000, 5001, 5002, 5003, 5004, 5005, 5006, 5007, 5008};

}  // namespace ticktavo
