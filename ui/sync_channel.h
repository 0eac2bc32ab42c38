#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <type_traits>
#include <utility>

#include <QObject>

namespace ticktavo {

// Runs calls from another thread on the window's thread and waits for them, the way a
// window message is sent rather than posted: Call returns only after the window's thread has
// run the function, or at once when the channel is closed. The window closes the channel
// before its widgets go away, so a late call from the timing thread never touches a
// destroyed widget and never waits for an event loop that has stopped.
//
// The channel lives on the thread that creates it (the window's thread). A call made on that
// thread itself runs directly. One call from another thread is in flight at a time; further
// callers wait their turn.
class SyncChannel final : public QObject {
  Q_OBJECT

 public:
  explicit SyncChannel(QObject* parent = nullptr);
  ~SyncChannel() override;
  SyncChannel(const SyncChannel&) = delete;
  SyncChannel& operator=(const SyncChannel&) = delete;

  // Runs fn on the window's thread. guard runs first, on the calling thread and under the
  // channel's lock (so the window cannot close the channel while it runs); when it returns
  // false nothing is sent. Use it for cheap checks that save a round trip.
  template <class Guard, class Fn>
  void Call(Guard&& guard, Fn&& fn) {
    using G = std::remove_reference_t<Guard>;
    using F = std::remove_reference_t<Fn>;
    CallThunk([](void* g) -> bool { return (*static_cast<G*>(g))(); }, &guard,
              [](void* f) { (*static_cast<F*>(f))(); }, &fn);
  }
  template <class Fn>
  void Call(Fn&& fn) {
    Call([] { return true; }, std::forward<Fn>(fn));
  }

  // From now on calls return at once without running. A call whose function is already
  // running on the window's thread (a modal box, say) is waited for.
  void Close();
  bool IsOpen() const;
  // Whether a call from another thread is waiting for the window's thread.
  bool HasPendingCall() const;

 private:
  using GuardThunk = bool (*)(void*);
  using Thunk = void (*)(void*);

  void CallThunk(GuardThunk guard, void* guardContext, Thunk fn, void* fnContext);
  // Window's thread: runs the pending call if it is still the one numbered seq.
  void RunPending(std::uint64_t seq);

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_closed = false;
  bool m_busy = false;     // a call from another thread is posted and not finished
  bool m_running = false;  // the window's thread is running it now
  std::uint64_t m_seq = 0;
  std::uint64_t m_finishedSeq = 0;
  Thunk m_pending = nullptr;
  void* m_pendingContext = nullptr;
};

}  // namespace ticktavo
