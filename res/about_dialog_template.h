#pragma once

#include "res/dialog_template.h"

namespace ticktavo {

// Controls of the About box.
inline constexpr int kIdStaticText = -1;  // texts and the icon nothing refers to
inline constexpr int kIdOk = 1;
inline constexpr int kIdAboutVersion = 1052;  // replaced by the version line when it opens
inline constexpr int kIdAboutLink = 1068;     // the user guide's address; a click opens it

// The place of each control in the About box's template order.
inline constexpr int kAboutIconIndex = 0;
inline constexpr int kAboutVersionIndex = 1;
inline constexpr int kAboutAuthorIndex = 2;
inline constexpr int kAboutOkIndex = 3;
inline constexpr int kAboutVisitIndex = 4;
inline constexpr int kAboutLinkIndex = 5;

// Template 100: the About box, "About Ticktavo", 167 × 74 dialog units. The link's caption
// is empty here: the address is only known when the program runs (it is wherever the guide
// was installed).
const DialogTemplate& AboutDialogTemplate();

}  // namespace ticktavo
