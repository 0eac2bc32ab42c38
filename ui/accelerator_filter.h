#pragma once

#include <functional>
#include <span>

#include <QObject>
#include <QPointer>

#include "res/accelerators.h"

class QKeyEvent;
class QWidget;

namespace ticktavo {

// Translates the window's keyboard accelerators before anything else sees the key: it is
// installed on the application, so it runs before the focused control, before the dialog's
// own key handling and before Qt's mnemonic shortcuts (whose ShortcutOverride it claims).
// Only keys addressed to the window or one of its controls are translated; message boxes,
// the About box and open drop-down lists keep their keys.
class AcceleratorFilter final : public QObject {
  Q_OBJECT

 public:
  using CommandHandler = std::function<void(int command)>;

  AcceleratorFilter(QWidget& window, std::span<const Accelerator> table, CommandHandler handler);

  // The entry this key press matches, or null. Alt entries need exactly Alt (no Shift, Ctrl
  // or Meta); Enter needs no modifier and means both the main and the keypad Enter key.
  static const Accelerator* Match(std::span<const Accelerator> table, int key,
                                  Qt::KeyboardModifiers modifiers);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const Accelerator* MatchFor(QObject* watched, const QKeyEvent& key) const;

  QPointer<QWidget> m_window;
  std::span<const Accelerator> m_table;
  CommandHandler m_handler;
};

}  // namespace ticktavo
