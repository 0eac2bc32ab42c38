#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <set>

#include "dialog/dialog_controls.h"
#include "res/dialog_template.h"

namespace ticktavo::win32 {

// DialogControls over the native controls of a dialog made from a template of res/: buttons,
// edits, combo boxes, trackbars, the up-down control, the tooltip control, and the owner-drawn
// blinkers, whose frames this class keeps and paints.
//
// Setting anything from here runs no handler of the dialog: the controls still send their
// notifications (EN_CHANGE for a text set), and the window drops them while FromProgram().
// Window's thread only.
class Win32Controls final : public DialogControls {
 public:
  // The template the dialog was made from: it says which controls are blinkers and of which
  // size set.
  explicit Win32Controls(const DialogTemplate& source) : m_source(source) {}
  ~Win32Controls();
  Win32Controls(const Win32Controls&) = delete;
  Win32Controls& operator=(const Win32Controls&) = delete;

  // From WM_INITDIALOG on: sizes the blinkers to their frames (at the window's DPI) and makes
  // the tooltip control.
  void Attach(HWND dialog);
  // Before the dialog goes: no control is touched any more.
  void Detach();
  HWND Dialog() const { return m_dialog; }
  HWND Control(int id) const { return m_dialog != nullptr ? GetDlgItem(m_dialog, id) : nullptr; }
  bool FromProgram() const { return m_fromProgram > 0; }

  // A blinker's size set (0: 16 pixels, 1: 32); the next different frame comes from it.
  void SetSizeSet(int id, int set);
  int Frame(int id) const;
  // Paints a blinker (WM_DRAWITEM); false if the item is not one.
  bool DrawBlinker(const DRAWITEMSTRUCT& item) const;
  // How many times a blinker's picture changed (a repaint was asked for).
  int PictureChanges(int id) const;

  // DialogControls.
  std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  void SetRange(int id, int minimum, int maximum) override;
  int Position(int id) const override;
  void SetPosition(int id, int position) override;
  void InsertItem(int id, int position, std::string_view text) override;
  void RemoveItem(int id, int position) override;
  int ItemCount(int id) const override;
  std::string ItemText(int id, int position) const override;
  int Selection(int id) const override;
  void SetSelection(int id, int position) override;
  bool IsEnabled(int id) const override;
  void SetEnabled(int id, bool enabled) override;
  bool IsVisible(int id) const override;
  void SetVisible(int id, bool visible) override;
  Rect Place(int id) const override;
  void SetPlace(int id, Rect place) override;
  void SetToolTip(int id, std::string_view text) override;
  void SetFocus(int id) override;
  void SetDefaultButton(int id) override;
  void SetFrame(int id, int frame) override;

 private:
  struct Blinker {
    int set = 0;
    int frame = 0;
    int pictureChanges = 0;
  };
  // Counts the calls under way, so notifications they cause are known as the program's.
  class ProgramChange {
   public:
    explicit ProgramChange(int& depth) : m_depth(depth) { ++m_depth; }
    ~ProgramChange() { --m_depth; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

   private:
    int& m_depth;
  };
  bool IsUpDown(HWND control) const;

  const DialogTemplate& m_source;
  HWND m_dialog = nullptr;
  HWND m_toolTip = nullptr;
  std::set<int> m_tools;
  std::map<int, Blinker> m_blinkers;
  int m_fromProgram = 0;
};

// The notification a control's WM_COMMAND code stands for, by the kind of control.
std::optional<Notification> NotificationOf(ControlKind kind, WORD code);

}  // namespace ticktavo::win32
