#pragma once

#include "res/dialog_template.h"

namespace ticktavo {

// Controls of the Practice window.
inline constexpr int kIdTapFrame = 6000;
inline constexpr int kIdTap = 6001;        // "&Tap"
inline constexpr int kIdTapResult = 6002;  // what the taps so far give
inline constexpr int kIdTrainer = 6010;    // "Speed &trainer"
inline constexpr int kIdTrainerStepLabel = 6011;
inline constexpr int kIdTrainerStep = 6012;  // BPM per step, 1..100
inline constexpr int kIdTrainerStepUnit = 6013;
inline constexpr int kIdTrainerEveryLabel = 6014;
inline constexpr int kIdTrainerEvery = 6015;  // measures per step, 1..64
inline constexpr int kIdTrainerEveryUnit = 6016;
inline constexpr int kIdTrainerTargetLabel = 6017;
inline constexpr int kIdTrainerTarget = 6018;  // BPM, 4..1000
inline constexpr int kIdTrainerTargetUnit = 6019;
inline constexpr int kIdMute = 6020;  // "&Mute measures"
inline constexpr int kIdMutePlayedLabel = 6021;
inline constexpr int kIdMutePlayed = 6022;  // measures sounded, 1..64
inline constexpr int kIdMutePlayedUnit = 6023;
inline constexpr int kIdMuteSilentLabel = 6024;
inline constexpr int kIdMuteSilent = 6025;  // measures silent, 1..64
inline constexpr int kIdMuteSilentUnit = 6026;
inline constexpr int kIdMeasuresLabel = 6030;
inline constexpr int kIdMeasures = 6031;  // measures since Play

// The Practice window, "Practice": tap tempo, the speed trainer, muted measures and the
// count of measures played. Modeless, beside the main window.
const DialogTemplate& PracticeDialogTemplate();

}  // namespace ticktavo
