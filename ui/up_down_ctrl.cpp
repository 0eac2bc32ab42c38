#include "ui/up_down_ctrl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

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

void UpDownCtrl::Step(int delta) {
  if (isEnabled()) emit Stepped(delta);
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

}  // namespace ticktavo
