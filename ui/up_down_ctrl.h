#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ticktavo {

// A pair of arrows beside a number field that steps the number within a range and writes it
// into the field as plain digits (1000, never "1,000"), so the field's change handler reads
// it back exactly. The Up and Down keys in the field step it too. Holding an arrow repeats.
class UpDownCtrl final : public QWidget {
  Q_OBJECT

 public:
  explicit UpDownCtrl(QWidget* parent = nullptr);

  void SetBuddy(QLineEdit* buddy);
  QLineEdit* Buddy() const { return m_buddy; }
  void SetRange(int minimum, int maximum);
  int Minimum() const { return m_minimum; }
  int Maximum() const { return m_maximum; }
  // The number the arrows step from: the field's number when it holds one, else the last
  // position written.
  int Position() const;
  // Moves by delta within the range and writes the result into the field when it changes.
  void Step(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QLineEdit* m_buddy = nullptr;
  QToolButton* m_up = nullptr;
  QToolButton* m_down = nullptr;
  int m_minimum = 0;
  int m_maximum = 100;
  int m_position = 0;
};

}  // namespace ticktavo
