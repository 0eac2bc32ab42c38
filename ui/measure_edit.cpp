#include "ui/measure_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include "rhythm/measure_parser.h"

namespace ticktavo {

MeasureEdit::MeasureEdit(QWidget* parent) : QLineEdit(parent) {}

void MeasureEdit::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  // Ctrl and Meta combinations are commands (copy, paste, undo...), not typed characters.
  const bool command = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
  if (!command && !text.isEmpty() && text.at(0).isPrint()) {
    const char16_t c = text.at(0).unicode();
    if (c > 0x7f || !IsMeasureEditChar(static_cast<int>(c))) {
      event->accept();  // dropped without effect
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void MeasureEdit::inputMethodEvent(QInputMethodEvent* event) {
  const QString committed = event->commitString();
  QString kept;
  for (QChar c : committed) {
    if (c.unicode() <= 0x7f && IsMeasureEditChar(c.unicode())) kept.append(c);
  }
  if (kept == committed) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
  event->accept();
}

}  // namespace ticktavo
