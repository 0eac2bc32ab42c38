#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ticktavo {

// A pair of arrows beside a number field. A click on an arrow, or the Up and Down keys in the
// field, report a step (holding an arrow repeats); the dialog decides what the field then
// shows. The position is the dialog's to keep.
class UpDownCtrl final : public QWidget {
  Q_OBJECT

 public:
  explicit UpDownCtrl(QWidget* parent = nullptr);

  void SetBuddy(QLineEdit* buddy);
  int Position() const { return m_position; }
  void SetPosition(int position) { m_position = position; }
  // Reports a step of delta while the arrows are enabled.
  void Step(int delta);

 signals:
  void Stepped(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLineEdit* m_buddy = nullptr;
  QToolButton* m_up = nullptr;
  QToolButton* m_down = nullptr;
  int m_position = 0;
};

}  // namespace ticktavo
