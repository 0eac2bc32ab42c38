#pragma once

#include <QObject>

class QSocketNotifier;

namespace ticktavo {

class OwnerMailbox;

// Wakes the window's thread when the timing thread has posted to the mailbox, and drains it
// there. The timing thread only writes eight bytes to an event descriptor: no lock, no
// allocation, no waiting for the window (posting a Qt event would allocate on every beat).
//
// The mailbox must be closed before this object goes.
class MailboxNotifier final : public QObject {
  Q_OBJECT

 public:
  MailboxNotifier(OwnerMailbox& mailbox, QObject* parent = nullptr);
  ~MailboxNotifier() override;
  MailboxNotifier(const MailboxNotifier&) = delete;
  MailboxNotifier& operator=(const MailboxNotifier&) = delete;

 private:
  static void Wake(void* context);
  void OnActivated();

  OwnerMailbox& m_mailbox;
  int m_eventFd = -1;
  QSocketNotifier* m_notifier = nullptr;
};

}  // namespace ticktavo
