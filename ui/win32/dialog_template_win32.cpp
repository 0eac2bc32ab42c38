#include "ui/win32/dialog_template_win32.h"

#include <commctrl.h>

#include "engine/utf16_win32.h"
#include "res/resource_ids.h"

namespace ticktavo::win32 {

namespace {

constexpr WORD kTemplateVersion = 1;
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr WORD kOrdinal = 0xFFFF;  // a resource number follows instead of a name

}  // namespace

Win32ControlStyle StyleOf(const ControlTemplate& control, const ControlTemplate* previous) {
  const unsigned s = control.style;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  if (s & kStyleTabStop) style |= WS_TABSTOP;
  if (s & kStyleDisabled) style |= WS_DISABLED;
  // A group runs up to the next control marked as starting one: the first control after a run
  // of radio buttons ends their group, so the arrow keys cycle through the buttons only.
  const bool endsRadioGroup = previous != nullptr && previous->kind == ControlKind::kRadioButton &&
                              control.kind != ControlKind::kRadioButton;
  if ((s & kStyleGroup) || endsRadioGroup) style |= WS_GROUP;

  switch (control.kind) {
    case ControlKind::kRadioButton:
      return {WC_BUTTONW, style | BS_AUTORADIOBUTTON, exStyle};
    case ControlKind::kCheckBox:
      return {WC_BUTTONW, style | BS_AUTOCHECKBOX, exStyle};
    case ControlKind::kPushButton:
      // The OK button of a box is its default button; the main window has none (Enter plays).
      return {WC_BUTTONW, style | (control.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), exStyle};
    case ControlKind::kGroupBox:
      return {WC_BUTTONW, style | BS_GROUPBOX, exStyle};
    case ControlKind::kStaticText:
      style |= (s & kStyleWordWrap) ? SS_LEFT : SS_LEFTNOWORDWRAP;
      if (s & kStyleCenterVertical) style |= SS_CENTERIMAGE;
      // A link: clicks reported, and an address too long for its line shortened in the middle
      // rather than cut off.
      if (s & kStyleNotify) style |= SS_NOTIFY | SS_PATHELLIPSIS;
      return {WC_STATICW, style, exStyle};
    case ControlKind::kEdit:
      style |= ES_LEFT;
      if (s & kStyleDigitsOnly) style |= ES_NUMBER;
      if (s & kStyleAutoHScroll) style |= ES_AUTOHSCROLL;
      // The sunken edit border of every Win32 dialog since the 3-D look.
      if (s & kStyleBorder) exStyle |= WS_EX_CLIENTEDGE;
      return {WC_EDITW, style, exStyle};
    case ControlKind::kUpDown:
      // Plain digits: 1000 is written "1000", never "1,000", which would read back as 1.
      style |= UDS_NOTHOUSANDS;
      if (s & kStyleAutoBuddy) style |= UDS_AUTOBUDDY;
      if (s & kStyleSetBuddyInt) style |= UDS_SETBUDDYINT;
      if (s & kStyleAlignRight) style |= UDS_ALIGNRIGHT;
      if (s & kStyleArrowKeys) style |= UDS_ARROWKEYS;
      return {UPDOWN_CLASSW, style, exStyle};
    case ControlKind::kSlider:
      style |= TBS_HORZ | TBS_BOTH;  // no pointer on the thumb: a plain rectangle
      if (s & kStyleNoTicks) style |= TBS_NOTICKS;
      return {TRACKBAR_CLASSW, style, exStyle};
    case ControlKind::kComboDropDown:
    case ControlKind::kComboDropList:
      style |= control.kind == ControlKind::kComboDropDown ? CBS_DROPDOWN : CBS_DROPDOWNLIST;
      if (s & kStyleSorted) style |= CBS_SORT;
      if (s & kStyleAutoHScroll) style |= CBS_AUTOHSCROLL;
      if (s & kStyleVScroll) style |= WS_VSCROLL;
      return {WC_COMBOBOXW, style, exStyle};
    case ControlKind::kIconStatic:
      if (s & kStyleSunken) style |= SS_SUNKEN;
      // The application icon is a resource; a blinker's frames are painted by the window.
      style |= control.iconId == kIdAppIcon ? SS_ICON : SS_OWNERDRAW;
      return {WC_STATICW, style, exStyle};
    case ControlKind::kProgressBar:
      return {PROGRESS_CLASSW, style, exStyle};
  }
  return {WC_STATICW, style, exStyle};
}

DWORD DialogStyleOf(const DialogTemplate& dialog) {
  DWORD style = WS_POPUP | DS_SETFONT | DS_CENTER;
  const unsigned s = dialog.style;
  if (s & kDialogCaption) style |= WS_CAPTION;
  if (s & kDialogSystemMenu) style |= WS_SYSMENU;
  if (s & kDialogSizingBorder) style |= WS_THICKFRAME;
  if (s & kDialogMinimizeBox) style |= WS_MINIMIZEBOX;
  if (s & kDialogMaximizeBox) style |= WS_MAXIMIZEBOX;
  if (s & kDialogVisible) style |= WS_VISIBLE;
  if (s & kDialogModalFrame) style |= DS_MODALFRAME;
  return style;
}

DWORD DialogExStyleOf(const DialogTemplate& dialog) {
  return (dialog.style & kDialogAppWindow) ? WS_EX_APPWINDOW : 0;
}

bool IsNamedByLabel(const ControlTemplate& control) {
  if (control.kind == ControlKind::kIconStatic) return false;  // named by its text
  return !(control.kind == ControlKind::kUpDown && (control.style & kStyleAutoBuddy));
}

void Win32DialogTemplate::Dword(DWORD value) {
  Word(static_cast<WORD>(value & 0xFFFF));
  Word(static_cast<WORD>(value >> 16));
}

void Win32DialogTemplate::Text(const char* utf8) {
  for (wchar_t c : Widen(utf8 != nullptr ? utf8 : "")) Word(static_cast<WORD>(c));
  Word(0);
}

void Win32DialogTemplate::AlignToDword() {
  if (m_words.size() % 2 != 0) Word(0);
}

void Win32DialogTemplate::Item(DWORD style, DWORD exStyle, const ControlTemplate& place, DWORD id,
                               const wchar_t* className) {
  // DLGITEMTEMPLATEEX, each on a DWORD boundary.
  AlignToDword();
  Dword(0);  // help context
  Dword(exStyle);
  Dword(style);
  Word(static_cast<WORD>(place.x));
  Word(static_cast<WORD>(place.y));
  Word(static_cast<WORD>(place.cx));
  Word(static_cast<WORD>(place.cy));
  Dword(id);  // -1 (no identifier) is 0xFFFFFFFF
  for (const wchar_t* c = className; *c != L'\0'; ++c) Word(static_cast<WORD>(*c));
  Word(0);
}

Win32DialogTemplate::Win32DialogTemplate(const DialogTemplate& source, AccessibleNames names) {
  std::size_t labels = 0;
  for (const ControlTemplate& control : source.controls) {
    if (names != nullptr && IsNamedByLabel(control) && !names(control.id).empty()) ++labels;
  }
  // DLGTEMPLATEEX.
  Word(kTemplateVersion);
  Word(kExtendedSignature);
  Dword(0);  // help context
  Dword(DialogExStyleOf(source));
  Dword(DialogStyleOf(source));
  Word(static_cast<WORD>(source.controls.size() + labels));
  Word(0);  // x, y: centred (DS_CENTER); the stored place moves it later
  Word(0);
  Word(static_cast<WORD>(source.cx));
  Word(static_cast<WORD>(source.cy));
  Word(0);  // no menu
  Word(0);  // the standard dialog class
  Text(source.caption);
  Word(static_cast<WORD>(source.fontPointSize));
  Word(FW_NORMAL);
  Word(static_cast<WORD>(DEFAULT_CHARSET << 8));  // italic = 0 (low byte), charset (high byte)
  Text(source.fontName);

  const ControlTemplate* previous = nullptr;
  for (const ControlTemplate& control : source.controls) {
    const Win32ControlStyle style = StyleOf(control, previous);
    const std::string name = names != nullptr ? names(control.id) : std::string();
    if (!name.empty() && IsNamedByLabel(control)) {
      // Never shown, never a tab stop or a mnemonic; it ends a group where the control does.
      Item(WS_CHILD | SS_LEFT | SS_NOPREFIX | (style.style & WS_GROUP), 0, control,
           static_cast<DWORD>(-1), WC_STATICW);
      Text(name.c_str());
      Word(0);  // no creation data
    }
    Item(style.style, style.exStyle, control, static_cast<DWORD>(control.id), style.className);
    if (control.kind == ControlKind::kIconStatic && control.iconId == kIdAppIcon) {
      Word(kOrdinal);
      Word(static_cast<WORD>(control.iconId));
    } else if (control.kind == ControlKind::kIconStatic && !name.empty()) {
      Text(name.c_str());
    } else {
      Text(control.caption);
    }
    Word(0);  // no creation data
    previous = &control;
  }
}

}  // namespace ticktavo::win32
