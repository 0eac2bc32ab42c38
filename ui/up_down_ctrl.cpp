#include "ui/up_down_ctrl.h"

#include <algorithm>

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "store/stored_settings.h"

namespace ticktavo {

UpDownCtrl::UpDownCtrl(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
  for (QToolButton* button : {m_up, m_down}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
  setFocusPolicy(Qt::NoFocus);
}

void UpDownCtrl::SetBuddy(QLineEdit* buddy) {
  if (m_buddy != nullptr) m_buddy->removeEventFilter(this);
  m_buddy = buddy;
  if (m_buddy != nullptr) m_buddy->installEventFilter(this);
}

void UpDownCtrl::SetRange(int minimum, int maximum) {
  m_minimum = std::min(minimum, maximum);
  m_maximum = std::max(minimum, maximum);
  m_position = std::clamp(m_position, m_minimum, m_maximum);
}

int UpDownCtrl::Position() const {
  if (m_buddy != nullptr) {
    // A number after optional blanks and a sign, read as the beats field reads it.
    const QString text = m_buddy->text().trimmed();
    const int digit = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    if (digit < text.size() && text.at(digit) >= u'0' && text.at(digit) <= u'9') {
      return std::clamp(AtoiPrefix(text.toStdString()), m_minimum, m_maximum);
    }
  }
  return m_position;
}

void UpDownCtrl::Step(int delta) {
  if (!isEnabled()) return;
  const int from = Position();
  const int to = std::clamp(from + delta, m_minimum, m_maximum);
  m_position = to;
  if (m_buddy == nullptr) return;
  const QString text = QString::number(to);
  if (m_buddy->text() != text) m_buddy->setText(text);
}

bool UpDownCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (key->key() == Qt::Key_Up) {
        Step(+1);
        return true;
      }
      if (key->key() == Qt::Key_Down) {
        Step(-1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDownCtrl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int half = height() / 2;
  m_up->setGeometry(0, 0, width(), half);
  m_down->setGeometry(0, half, width(), height() - half);
}

void UpDownCtrl::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

}  // namespace ticktavo
