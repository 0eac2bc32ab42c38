#pragma once

#include <string>
#include <string_view>

#include "dialog/geometry.h"

namespace ticktavo {

// What a control reports along with a command (the platform's notification codes).
enum class Notification {
  kClicked,     // a button, check box or radio button was clicked (the check already moved)
  kChanged,     // an edit field's text changed
  kKillFocus,   // an edit field lost the focus
  kSelChange,   // the user chose another item of a list
  kEditChange,  // the user edited the text of a combo box's edit part
};

// A window's controls, addressed by the identifiers of its template in res/. A front end
// implements it over its toolkit's widgets (or native controls); tests over a table.
//
// Setting anything from here never runs a handler of the dialog: where a change must be
// handled (a field's text set while loading settings, say) the dialog calls its own handler.
// What the user changes reaches the dialog as calls on it (MetronomeDialog::OnCommand,
// OnHScroll, ...). Texts are UTF-8. Window's thread only.
class DialogControls {
 public:
  // The text of a field, button, static text, or the edit part of a combo box with one.
  virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, std::string_view text) = 0;
  // Check boxes and radio buttons. Checking a radio button leaves the others alone.
  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  // Sliders and up-down controls. The position is kept within the range.
  virtual void SetRange(int id, int minimum, int maximum) = 0;
  virtual int Position(int id) const = 0;
  virtual void SetPosition(int id, int position) = 0;
  // Lists of combo boxes. Position -1 appends.
  virtual void InsertItem(int id, int position, std::string_view text) = 0;
  virtual void RemoveItem(int id, int position) = 0;
  virtual int ItemCount(int id) const = 0;
  virtual std::string ItemText(int id, int position) const = 0;
  // -1: nothing selected. Selecting shows the item's text in a combo box's edit part, or
  // empties it for -1 (or a position the list does not have).
  virtual int Selection(int id) const = 0;
  virtual void SetSelection(int id, int position) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool IsVisible(int id) const = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  // In client-area pixels. Moving does not repaint: the dialog asks the host for that.
  virtual Rect Place(int id) const = 0;
  virtual void SetPlace(int id, Rect place) = 0;
  virtual void SetToolTip(int id, std::string_view text) = 0;
  virtual void SetFocus(int id) = 0;
  // Gives the push button the default-button look (0: none has it).
  virtual void SetDefaultButton(int id) = 0;
  // A blinker shows frame 0..8 of its set and repaints at once; the same frame again sends
  // nothing to the screen.
  virtual void SetFrame(int id, int frame) = 0;

 protected:
  ~DialogControls() = default;
};

}  // namespace ticktavo
