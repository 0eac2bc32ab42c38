#include "engine/owner_mailbox.h"

#include <algorithm>
#include <string>
#include <thread>

namespace ticktavo {

void OwnerMailbox::SetWake(WakeFunction wake, void* context) {
  m_wake = wake;
  m_wakeContext = context;
}

bool OwnerMailbox::EnterPost() {
  // Sequentially consistent with Close: either Close sees this post under way and waits for
  // it, or the post sees the mailbox closed and does nothing.
  m_postsUnderWay.fetch_add(1, std::memory_order_seq_cst);
  if (m_closed.load(std::memory_order_seq_cst)) {
    LeavePost();
    return false;
  }
  return true;
}

void OwnerMailbox::LeavePost() {
  m_postsUnderWay.fetch_sub(1, std::memory_order_seq_cst);
}

void OwnerMailbox::Wake() {
  if (m_wake != nullptr && !m_wakePending.exchange(true, std::memory_order_acq_rel)) {
    m_wake(m_wakeContext);
  }
}

void OwnerMailbox::ShowError(std::string_view text) {
  m_receiver.OnMidiError(text);
}

void OwnerMailbox::PostError(std::string_view text) {
  if (!EnterPost()) return;
  // One error at a time: the player stops after an error, so a second one before the window
  // has shown the first says nothing new.
  int expected = kNoError;
  if (m_errorState.compare_exchange_strong(expected, kWritingError, std::memory_order_acquire)) {
    m_errorLength = std::min(text.size(), kMaxErrorText);
    std::copy_n(text.data(), m_errorLength, m_errorText.begin());
    m_errorState.store(kErrorReady, std::memory_order_release);
    Wake();
  }
  LeavePost();
}

void OwnerMailbox::PostMainBlinkerFrame(std::uint64_t run, int frame) {
  if (!EnterPost()) return;
  m_frame.store((run << 8) | static_cast<std::uint64_t>(frame & 0xff), std::memory_order_release);
  m_frameFresh.store(true, std::memory_order_release);
  Wake();
  LeavePost();
}

void OwnerMailbox::PostBeatPlayed(std::uint64_t run, int velocity, int note) {
  if (!EnterPost()) return;
  if (m_beats.TryPush(BeatEvent{run, velocity, note})) {
    Wake();
  } else {
    m_droppedBeats.fetch_add(1, std::memory_order_relaxed);
  }
  LeavePost();
}

void OwnerMailbox::PostTempoChanged(std::uint64_t run, std::uint32_t tempoSerial, int bpm) {
  if (!EnterPost()) return;
  m_tempo.Publish(TempoEvent{run, tempoSerial, bpm});
  m_tempoFresh.store(true, std::memory_order_release);
  Wake();
  LeavePost();
}

void OwnerMailbox::Drain() {
  if (!IsOpen()) return;
  // Cleared first: whatever is posted from here on wakes the window again.
  m_wakePending.store(false, std::memory_order_seq_cst);

  if (m_errorState.load(std::memory_order_acquire) == kErrorReady) {
    // Copied out and released before the receiver runs: its message box runs a nested event
    // loop, which may drain again.
    const std::string text(m_errorText.data(), m_errorLength);
    m_errorState.store(kNoError, std::memory_order_release);
    m_receiver.OnMidiError(text);
    if (!IsOpen()) return;
  }

  if (m_tempoFresh.exchange(false, std::memory_order_acq_rel)) {
    const TempoEvent tempo = m_tempo.Read();
    m_receiver.OnTempoChanged(tempo.run, tempo.tempoSerial, tempo.bpm);
    if (!IsOpen()) return;
  }

  BeatEvent beat{};
  while (m_beats.TryPop(beat)) {
    m_receiver.OnBeatPlayed(beat.run, beat.velocity, beat.note);
    if (!IsOpen()) return;
  }

  if (m_frameFresh.exchange(false, std::memory_order_acq_rel)) {
    const std::uint64_t frame = m_frame.load(std::memory_order_acquire);
    m_receiver.OnMainBlinkerFrame(frame >> 8, static_cast<int>(frame & 0xff));
  }
}

void OwnerMailbox::Close() {
  m_closed.store(true, std::memory_order_seq_cst);
  // A post under way finishes within microseconds (it never waits for anything).
  while (m_postsUnderWay.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
}

}  // namespace ticktavo
