#pragma once

#include <map>
#include <vector>

#include <QRect>

#include "dialog/dialog_units.h"
#include "res/dialog_template.h"

class QFont;
class QWidget;

namespace ticktavo {

// Base units of a font: the average advance of "A".."Z" and "a".."z", rounded, and the
// font's line height.
DialogUnits DialogUnitsForFont(const QFont& font);

// The base units to lay this template out in with this font: those of the font, widened
// where a caption would not fit its rectangle. The layout was drawn around one particular
// font's captions; with a wider font (or a larger check mark) the text must still show in
// full, so the whole window grows evenly rather than one control overlapping the next.
DialogUnits DialogUnitsFor(const DialogTemplate& dialogTemplate, const QFont& font);

// The widgets a template became, by control identifier.
class BuiltDialog {
 public:
  QWidget* Control(int id) const;
  // The control as a T; nullptr when there is none with this identifier or it is another kind.
  template <class T>
  T* Get(int id) const {
    return dynamic_cast<T*>(Control(id));
  }
  // In template order, which is the tab order.
  const std::vector<QWidget*>& InTemplateOrder() const { return m_ordered; }

 private:
  friend BuiltDialog BuildDialog(const DialogTemplate&, QWidget&, const DialogUnits&);
  std::map<int, QWidget*> m_byId;
  std::vector<QWidget*> m_ordered;
};

// Creates every control of the template as a child of the dialog, places it in pixels, gives
// it its caption, options and initial state, sets the tab order of the template and sizes the
// dialog's client area. Group boxes are kept behind the controls they frame and let clicks
// through. Icon statics are sized to their icons, as the platform always sized them.
BuiltDialog BuildDialog(const DialogTemplate& dialogTemplate, QWidget& dialog,
                        const DialogUnits& units);

}  // namespace ticktavo
