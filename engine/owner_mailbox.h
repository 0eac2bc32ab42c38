#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

#include "engine/player_owner.h"
#include "engine/synth/spsc_ring.h"
#include "engine/triple_buffer.h"

namespace ticktavo {

// The window's end of the player's owner calls, without a toolkit: what the timing thread
// posts waits here until the window's thread drains it.
//
// Posting never waits and never allocates: beat notifications go into a fixed ring, the main
// blinker's frame into one slot that keeps only the latest (a frame that was never shown is
// not worth showing late), an error text into a fixed buffer. After a post the window's thread
// is woken through the wake function, at most once per drain, so a window that falls behind
// is woken once, not once per beat.
//
// Threads: one thread posts (the timing thread); the window's thread sets the wake, drains and
// closes. ShowError is the window's own thread calling: it goes to the receiver at once.
class OwnerMailbox final : public PlayerOwner {
 public:
  // The window's handlers, called on the window's thread from Drain (and ShowError).
  class Receiver {
   public:
    virtual void OnMidiError(std::string_view text) = 0;
    virtual void OnMainBlinkerFrame(std::uint64_t run, int frame) = 0;
    virtual void OnBeatPlayed(std::uint64_t run, int velocity, int note) = 0;
    virtual void OnTempoChanged(std::uint64_t /*run*/, std::uint32_t /*tempoSerial*/, int /*bpm*/) {
    }

   protected:
    ~Receiver() = default;
  };

  // Runs on the posting thread after news has arrived: it must return at once without
  // blocking (writing to an event descriptor, posting a window message).
  using WakeFunction = void (*)(void* context);

  // Beat notifications the ring holds before newer ones are dropped: 16 s at 1000 BPM.
  static constexpr std::size_t kBeatCapacity = 256;
  // An error text longer than this is cut (the player's texts are far shorter).
  static constexpr std::size_t kMaxErrorText = 255;

  explicit OwnerMailbox(Receiver& receiver) : m_receiver(receiver) {}
  ~OwnerMailbox() { Close(); }
  OwnerMailbox(const OwnerMailbox&) = delete;
  OwnerMailbox& operator=(const OwnerMailbox&) = delete;

  // Window's thread, before anything is posted.
  void SetWake(WakeFunction wake, void* context);

  void ShowError(std::string_view text) override;
  void PostError(std::string_view text) override;
  void PostMainBlinkerFrame(std::uint64_t run, int frame) override;
  void PostBeatPlayed(std::uint64_t run, int velocity, int note) override;
  // Keeps only the latest: the window shows the tempo in force, not every step on the way.
  void PostTempoChanged(std::uint64_t run, std::uint32_t tempoSerial, int bpm) override;

  // Window's thread: hands what has been posted to the receiver: an error first, then the
  // latest tempo change, then the beat notifications in the order they were posted, then the
  // latest frame. A receiver may run a
  // nested event loop (a message box) that drains again; nothing is handed over twice.
  void Drain();

  // Window's thread: from now on posts are dropped and the wake is not called; returns once no
  // post is under way on another thread, so the wake's target may be destroyed afterwards.
  // ShowError still reaches the receiver (the device failing to close at exit is worth
  // telling).
  void Close();
  bool IsOpen() const { return !m_closed.load(std::memory_order_acquire); }

  // Beat notifications dropped because the ring was full.
  std::uint64_t DroppedBeats() const { return m_droppedBeats.load(std::memory_order_relaxed); }

 private:
  struct BeatEvent {
    std::uint64_t run;
    int velocity;
    int note;
  };
  struct TempoEvent {
    std::uint64_t run = 0;
    std::uint32_t tempoSerial = 0;
    int bpm = 0;
  };
  enum ErrorState : int { kNoError = 0, kWritingError = 1, kErrorReady = 2 };

  // Counts a post under way; false when the mailbox is closed (the post is dropped).
  bool EnterPost();
  void LeavePost();
  void Wake();

  Receiver& m_receiver;
  WakeFunction m_wake = nullptr;
  void* m_wakeContext = nullptr;
  std::atomic<bool> m_closed{false};
  std::atomic<int> m_postsUnderWay{0};
  std::atomic<bool> m_wakePending{false};

  SpscRing<BeatEvent, kBeatCapacity> m_beats;
  std::atomic<std::uint64_t> m_droppedBeats{0};

  // The latest frame: run << 8 | frame, and whether it has not been handed over yet.
  std::atomic<std::uint64_t> m_frame{0};
  std::atomic<bool> m_frameFresh{false};

  // The latest tempo change: one writer (the timing thread), one reader (the window's).
  TripleBuffer<TempoEvent> m_tempo;
  std::atomic<bool> m_tempoFresh{false};

  std::atomic<int> m_errorState{kNoError};
  std::array<char, kMaxErrorText + 1> m_errorText{};
  std::size_t m_errorLength = 0;
};

}  // namespace ticktavo
