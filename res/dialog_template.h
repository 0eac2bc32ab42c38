#pragma once

#include <span>

namespace ticktavo {

// A dialog described as data, in dialog units, the way the window's layout was designed:
// the builder in ui/ turns it into widgets, converting the units with the dialog font's
// metrics so that the window grows and shrinks with the user's font.

enum class ControlKind {
  kRadioButton,  // automatic radio button
  kCheckBox,     // automatic check box
  kPushButton,
  kGroupBox,  // a titled frame drawn behind the controls it surrounds
  kStaticText,
  kEdit,           // one-line edit field
  kUpDown,         // arrow pair that steps the number in the control before it
  kSlider,         // horizontal track bar
  kComboDropDown,  // combo box with an edit field; height is the dropped-down height
  kComboDropList,  // pick-only list; height is the dropped-down height
  kIconStatic,     // shows an icon; sized to the icon, not to the rectangle
  kProgressBar,    // a bar that fills from the left as its position moves through its range
};

// Style bits of a control. Only what the builder acts on is listed.
enum ControlStyle : unsigned {
  kStyleNone = 0,
  kStyleTabStop = 1u << 0,
  kStyleGroup = 1u << 1,       // first control of a group (radio buttons)
  kStyleDigitsOnly = 1u << 2,  // edit: typed characters other than digits are refused
  kStyleBorder = 1u << 3,
  kStyleAutoHScroll = 1u << 4,     // edit: text may run past the right edge
  kStyleSorted = 1u << 5,          // combo: list kept in alphabetical order
  kStyleVScroll = 1u << 6,         // combo: list has a scroll bar
  kStyleSunken = 1u << 7,          // sunken edge
  kStyleCenterVertical = 1u << 8,  // static text centred vertically
  kStyleNoTicks = 1u << 9,         // slider without tick marks
  kStyleRealSizeImage = 1u << 10,  // icon static: the icon is shown at its own size
  kStyleDisabled = 1u << 11,       // initially disabled
  kStyleAutoBuddy = 1u << 12,      // up-down: the control before it is its buddy
  kStyleSetBuddyInt = 1u << 13,    // up-down: writes its position into the buddy as a number
  kStyleAlignRight = 1u << 14,     // up-down: sits inside the buddy's right edge
  kStyleArrowKeys = 1u << 15,      // up-down: the arrow keys step it
  kStyleWordWrap = 1u << 16,       // static text breaks into lines
  kStyleNotify = 1u << 17,         // static text reports clicks (a link)
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* caption;  // "&" marks the mnemonic; empty for none
  int x, y, cx, cy;     // dialog units
  unsigned style;
  int iconId;  // icon statics: the initial icon resource; 0 otherwise
};

// Window style bits of a dialog.
enum DialogStyle : unsigned {
  kDialogCaption = 1u << 0,
  kDialogSystemMenu = 1u << 1,
  kDialogSizingBorder = 1u << 2,
  kDialogMinimizeBox = 1u << 3,
  kDialogMaximizeBox = 1u << 4,
  kDialogVisible = 1u << 5,
  kDialogAppWindow = 1u << 6,  // has its own taskbar entry
  kDialogModalFrame = 1u << 7,
};

struct DialogTemplate {
  int id;
  const char* caption;
  const char* fontName;  // the font the layout was designed with
  int fontPointSize;
  int cx, cy;  // client area, dialog units
  unsigned style;
  // In template order, which is also the tab order.
  std::span<const ControlTemplate> controls;

  // The control with this identifier, or null.
  const ControlTemplate* Find(int controlId) const;
};

// Template 102: the main window.
const DialogTemplate& MainDialogTemplate();

}  // namespace ticktavo
