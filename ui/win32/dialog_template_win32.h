#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "res/dialog_template.h"

namespace ticktavo::win32 {

// A template of res/ as the in-memory DLGTEMPLATEEX that CreateDialogIndirectParamW and
// DialogBoxIndirectParamW take, so the Win32 window is laid out from the same data as every
// other front end: the same controls, identifiers, dialog-unit rectangles, tab order, font.
//
// The blinkers become owner-drawn statics (the window paints their frames); the application
// icon static shows icon resource 128 of the module the dialog is created from.
//
// Names for screen readers (names: a control's name by its identifier, empty for none): a
// blinker's name is its window text, which it never draws; every other named control gets an
// invisible static label with its name right before it, where a screen reader looks for a
// control's name. The arrows of a number field are the exception: they take the control
// before them as the field they step, so a label there would take the field's place.
using AccessibleNames = std::string (*)(int controlId);

class Win32DialogTemplate {
 public:
  explicit Win32DialogTemplate(const DialogTemplate& source, AccessibleNames names = nullptr);

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
  std::size_t SizeInBytes() const { return m_words.size() * sizeof(WORD); }

 private:
  void Word(WORD value) { m_words.push_back(value); }
  void Dword(DWORD value);
  void Text(const char* utf8);
  void AlignToDword();
  void Item(DWORD style, DWORD exStyle, const ControlTemplate& place, DWORD id,
            const wchar_t* className);

  std::vector<WORD> m_words;
};

// What a control of the template becomes: its window class and styles.
struct Win32ControlStyle {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};
// previous: the control before it in template order (null for the first).
Win32ControlStyle StyleOf(const ControlTemplate& control, const ControlTemplate* previous);
DWORD DialogStyleOf(const DialogTemplate& dialog);
DWORD DialogExStyleOf(const DialogTemplate& dialog);
// Whether a named control of this kind is named by an invisible label before it.
bool IsNamedByLabel(const ControlTemplate& control);

}  // namespace ticktavo::win32
