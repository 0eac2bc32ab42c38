#pragma once

#include <string_view>

#include <QString>

#include "dialog/dialog_controls.h"
#include "ui/dialog_builder.h"

namespace ticktavo {

QString FromUtf8(std::string_view text);

// The dialog core's controls over the widgets a template became. Setting a control from the
// core must not come back as the user's change: while a setter runs, FromProgram() is true
// and the window drops the widgets' change signals.
class QtControls final : public DialogControls {
 public:
  void Attach(BuiltDialog built) { m_built = std::move(built); }
  const BuiltDialog& Built() const { return m_built; }
  QWidget* Control(int id) const { return m_built.Control(id); }
  bool FromProgram() const { return m_fromProgram; }

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
  template <class T>
  T* As(int id) const;

  BuiltDialog m_built;
  bool m_fromProgram = false;
};

}  // namespace ticktavo
