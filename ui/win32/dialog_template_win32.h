#pragma once

#include <windows.h>

#include <vector>

#include "res/dialog_template.h"

namespace ticktavo::win32 {

// A template of res/ as the in-memory DLGTEMPLATEEX that CreateDialogIndirectParamW and
// DialogBoxIndirectParamW take, so the Win32 window is laid out from the same data as every
// other front end: the same controls, identifiers, dialog-unit rectangles, tab order, font.
//
// The blinkers become owner-drawn statics (the window paints their frames); the application
// icon static shows icon resource 128 of the module the dialog is created from.
class Win32DialogTemplate {
 public:
  explicit Win32DialogTemplate(const DialogTemplate& source);

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }
  std::size_t SizeInBytes() const { return m_words.size() * sizeof(WORD); }

 private:
  void Word(WORD value) { m_words.push_back(value); }
  void Dword(DWORD value);
  void Text(const char* utf8);
  void AlignToDword();

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

}  // namespace ticktavo::win32
