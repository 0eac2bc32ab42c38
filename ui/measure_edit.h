#pragma once

#include <QLineEdit>

namespace ticktavo {

// The custom measure field. Typed characters other than digits, parentheses and spaces are
// dropped; editing keys (backspace, delete, arrows) and the clipboard shortcuts work as in
// any field. Pasted or loaded text is not filtered: the parser refuses what it cannot read.
class MeasureEdit final : public QLineEdit {
  Q_OBJECT

 public:
  explicit MeasureEdit(QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // Text committed by an input method (compose key, on-screen keyboard, Asian input methods)
  // is typed too, and filtered alike.
  void inputMethodEvent(QInputMethodEvent* event) override;
};

}  // namespace ticktavo
