#include "ui/sync_channel.h"

#include <QMetaObject>
#include <QThread>

namespace ticktavo {

SyncChannel::SyncChannel(QObject* parent) : QObject(parent) {}

SyncChannel::~SyncChannel() {
  // Pending posted calls die with this object; anyone still waiting is released here.
  Close();
}

void SyncChannel::Close() {
  std::lock_guard lock(m_mutex);
  m_closed = true;
  m_changed.notify_all();
}

bool SyncChannel::IsOpen() const {
  std::lock_guard lock(m_mutex);
  return !m_closed;
}

bool SyncChannel::HasPendingCall() const {
  std::lock_guard lock(m_mutex);
  return m_busy;
}

void SyncChannel::CallThunk(GuardThunk guard, void* guardContext, Thunk fn, void* fnContext) {
  if (QThread::currentThread() == thread()) {
    {
      std::lock_guard lock(m_mutex);
      if (m_closed || !guard(guardContext)) return;
    }
    fn(fnContext);
    return;
  }

  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_closed || !m_busy; });
  if (m_closed || !guard(guardContext)) return;
  const std::uint64_t seq = ++m_seq;
  m_busy = true;
  m_pending = fn;
  m_pendingContext = fnContext;
  // Posted while the lock is held: Close() cannot complete, and so the window cannot delete
  // this object, between the check above and the post.
  QMetaObject::invokeMethod(
      this, [this, seq] { RunPending(seq); }, Qt::QueuedConnection);
  m_changed.wait(lock, [this, seq] { return m_finishedSeq == seq || (m_closed && !m_running); });
  m_busy = false;
  m_pending = nullptr;
  m_pendingContext = nullptr;
  m_changed.notify_all();
}

void SyncChannel::RunPending(std::uint64_t seq) {
  Thunk fn = nullptr;
  void* context = nullptr;
  {
    std::lock_guard lock(m_mutex);
    // A call whose caller has given up (channel closed) must not run: its arguments lived
    // on the caller's stack.
    if (m_closed || !m_busy || seq != m_seq || m_pending == nullptr) return;
    fn = m_pending;
    context = m_pendingContext;
    m_running = true;
  }
  fn(context);
  std::lock_guard lock(m_mutex);
  m_running = false;
  m_finishedSeq = seq;
  m_changed.notify_all();
}

}  // namespace ticktavo
