#pragma once

#include <string>

namespace ticktavo {

// The names screen readers announce for the controls that have no caption of
// their own: the fields, sliders, lists and blinkers. Buttons, radio buttons, check boxes,
// frames and static texts are announced by their captions. Every front end names its
// controls from here.
//
// The name of the control with this template identifier; empty for the captioned ones.
std::string MainWindowAccessibleName(int controlId);
// The same for the Practice window: its number fields, named by their label and unit.
std::string PracticeWindowAccessibleName(int controlId);

}  // namespace ticktavo
