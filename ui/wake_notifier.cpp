#include "ui/wake_notifier.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include <QSocketNotifier>

namespace ticktavo {

WakeNotifier::WakeNotifier(std::function<void()> onWake, QObject* parent)
    : QObject(parent), m_onWake(std::move(onWake)) {
  m_eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_eventFd < 0) return;  // no wake: nothing the engine posts reaches the window
  m_notifier = new QSocketNotifier(m_eventFd, QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    std::uint64_t count = 0;
    ssize_t got;
    do {
      got = ::read(m_eventFd, &count, sizeof count);
    } while (got < 0 && errno == EINTR);
    m_onWake();
  });
}

WakeNotifier::~WakeNotifier() {
  delete m_notifier;
  if (m_eventFd >= 0) ::close(m_eventFd);
}

void WakeNotifier::Wake() const {
  if (m_eventFd < 0) return;
  const std::uint64_t one = 1;
  // Non-blocking: a counter that is somehow full already wakes the window.
  ssize_t written;
  do {
    written = ::write(m_eventFd, &one, sizeof one);
  } while (written < 0 && errno == EINTR);
}

}  // namespace ticktavo
