#include "ui/accelerator_filter.h"

#include <QKeyEvent>
#include <QWidget>

namespace ticktavo {

AcceleratorFilter::AcceleratorFilter(QWidget& window, std::span<const Accelerator> table,
                                     CommandHandler handler)
    : m_window(&window), m_table(table), m_handler(std::move(handler)) {}

const Accelerator* AcceleratorFilter::Match(std::span<const Accelerator> table, int key,
                                            Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held =
      modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  for (const Accelerator& entry : table) {
    const Qt::KeyboardModifiers wanted = entry.alt ? Qt::AltModifier : Qt::NoModifier;
    if (held != wanted) continue;
    if (entry.key == Accelerator::Key::kEnter) {
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return &entry;
    } else if (key == Qt::Key_A + (entry.letter - 'A')) {
      return &entry;
    }
  }
  return nullptr;
}

const Accelerator* AcceleratorFilter::MatchFor(QObject* watched, const QKeyEvent& key) const {
  if (m_window.isNull() || !watched->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != m_window) return nullptr;
  return Match(m_table, key.key(), key.modifiers());
}

bool AcceleratorFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // Claiming the override keeps mnemonics like "&Play" from acting on their own; the
      // key then arrives as a KeyPress below.
      auto* key = static_cast<QKeyEvent*>(event);
      if (MatchFor(watched, *key) != nullptr) {
        event->accept();
        return true;
      }
      break;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (const Accelerator* entry = MatchFor(watched, *key)) {
        event->accept();
        m_handler(entry->command);
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ticktavo
