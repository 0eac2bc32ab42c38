#pragma once

#include <QString>

class QWidget;

namespace ticktavo {

class AboutWindow;
class BlinkerStatic;
class MetronomeWindow;

// Names for screen readers. Buttons, radio buttons, check boxes, frames and static texts are
// announced by their own captions (so the Play button's name follows "Play"/"Stop" by itself),
// and every tooltip becomes the control's description. What has no caption of its own gets
// its name from res/accessible_names.h: the fields, sliders, lists and blinkers.

// Names every control of the main window without a caption (including the parts Qt builds
// inside them: the preset name field, the lists the combo boxes drop down, the up-down's
// arrows) and ties the labels to the controls they stand beside. Call once, after the
// controls and tooltips exist.
void MakeMainWindowAccessible(MetronomeWindow& window);

// The same for the About box: its icon is named after the program.
void MakeAboutBoxAccessible(AboutWindow& about);

// Registers this program's accessible interfaces with Qt (later calls do nothing): a blinker
// is a picture whose value is the frame it shows (0 = blank, 8 = the largest disc); a named
// combo box is announced by its name, with the choice as its value.
void InstallAccessibleInterfaces();

// Tells a screen reader that a control's tooltip, its description, has changed.
void NotifyDescriptionChanged(QWidget& widget);

// Tells a screen reader that a blinker now shows another frame, so it can follow the beat.
// Window's thread only.
void NotifyBlinkerFrameChanged(BlinkerStatic& blinker);

}  // namespace ticktavo
