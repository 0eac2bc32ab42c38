#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace ticktavo {

// Wakes the window's thread from another thread without a lock, an allocation or a wait: Wake
// writes eight bytes to an event descriptor, and the window's event loop then calls onWake.
// Posting a Qt event would allocate on every beat. Several wakes may come as one call.
class WakeNotifier final : public QObject {
  Q_OBJECT

 public:
  explicit WakeNotifier(std::function<void()> onWake, QObject* parent = nullptr);
  ~WakeNotifier() override;
  WakeNotifier(const WakeNotifier&) = delete;
  WakeNotifier& operator=(const WakeNotifier&) = delete;

  // Any thread, at once.
  void Wake() const;

 private:
  std::function<void()> m_onWake;
  int m_eventFd = -1;
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace ticktavo
