#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/beat_sink.h"
#include "engine/clock.h"
#include "engine/midi_out.h"
#include "engine/player_owner.h"

namespace ticktavo {

// Entries one queued beat can hold: a chord of all nine voices.
inline constexpr int kMaxBeatEntries = 9;

// One beat waiting in the queue. Only the first entryCount entries are meaningful.
struct BeatNode {
  std::int32_t notes[kMaxBeatEntries];       // MIDI note of each entry; -1 is a silent entry
  std::int32_t velocities[kMaxBeatEntries];  // velocity of the entry with the same index
  std::int32_t entryCount = 0;
  std::int32_t blinkFrame = 0;  // main blinker frame, taken from the beat's first entry
  BeatNode* older = nullptr;    // queued just before this one (towards the head)
  BeatNode* newer = nullptr;    // queued just after this one (towards the tail)
};

// Whether the timing thread asks the kernel for real-time scheduling (SCHED_FIFO). The program
// always asks; the benchmark can turn it off to show what the beat looks like without it.
enum class TimingPriority { kRealTime, kNormal };

// The open-error messages name this address.
inline constexpr std::string_view kSupportAddress = "support@quelbrand.example";

// The message shown for each result of opening the default device (0 gives an empty text).
std::string OpenErrorMessage(MidiResult result);

// The playback engine: a queue of beats filled by the window's thread and a timing thread that
// sounds them on a grid of clock ticks through one MIDI output device.
//
// Threads. The window's thread builds and destroys the player and calls BeginBeat, AddNote,
// SetTempo, Resume, Stop and SetBlinking. The timing thread, created once at construction and
// ended only by the destructor, runs ThreadLoop and calls the owner synchronously. Stop never
// waits for the timing thread: it posts a hold that the thread obeys at its next check, so a
// Stop made while the thread is inside the owner's BeatPlayed cannot deadlock.
//
// The player does not own the owner, the clock or the device; they must outlive it. The
// destructor waits for the timing thread to end, which may still fade or notify on its way out,
// so by then the owner's calls must return at once (the window is gone).
class BeatPlayer final : public BeatSink {
 public:
  BeatPlayer(PlayerOwner& owner, Clock& clock, MidiOut& midi,
             TimingPriority priority = TimingPriority::kRealTime);
  ~BeatPlayer();

  BeatPlayer(const BeatPlayer&) = delete;
  BeatPlayer& operator=(const BeatPlayer&) = delete;

  // The beat queue (window's thread). BeginBeat makes the next AddNote open a new beat. AddNote
  // adds one entry (a negative note, -1, is silent) to the newest beat; the beat's blink frame
  // comes from its first entry. It returns false and changes nothing when the beat already holds
  // nine entries or no memory is left.
  void BeginBeat() override;
  bool AddNote(int note, int velocity, int blinkFrame) override;

  // Timing thread: frees the head beat; false when the queue is empty.
  bool RemoveHead();
  // Frees every queued beat; always true (the lock cannot fail).
  bool ClearQueue();

  // Beats per minute; values outside 4..1000 are taken as the nearest of the two.
  void SetTempo(int bpm) override;
  // Lets the timing thread play. Always true.
  bool Resume() override;
  // Empties the queue, holds the timing thread at its next check, makes the next run take a
  // fresh time origin and silences the device. Always false. Safe from either thread.
  bool Stop() override;
  // Whether a sounded beat sets the main blinker to its frame.
  void SetBlinking(bool enabled);
  // Shows text in the owner's "Midi Error" box, then stops. Returns Stop's result (false).
  bool ReportError(std::string_view text);

  // --- Observation, for tests and diagnostics. None of these changes the timing. ---

  // A copy of the queue, walked from the head along the newer links, with the links checked.
  struct QueueSnapshot {
    struct Entry {
      int note;
      int velocity;
    };
    struct Beat {
      std::vector<Entry> entries;
      int blinkFrame;
      int olderIndex;  // index of the older beat in this snapshot, -1 when its link is null
      int newerIndex;  // index of the newer beat, -1 when its link is null
    };
    std::vector<Beat> beats;  // head first
    int count = 0;            // the queue's own count
    bool tailIsLast = true;  // the tail is the last beat reached from the head (both null if empty)
    bool olderWalkMatches = true;  // walking older links from the tail visits beats in reverse
  };
  QueueSnapshot SnapshotQueue() const;
  int QueuedBeats() const { return m_count.load(std::memory_order_acquire); }
  bool NewNodePending() const { return m_newNode; }  // window's thread only

  int Bpm() const { return m_bpm; }  // window's thread only
  std::int64_t Frequency() const { return m_frequency; }
  std::int64_t TicksPerBeat() const { return m_ticksPerBeat.load(std::memory_order_acquire); }
  bool Running() const { return m_running.load(std::memory_order_acquire); }
  bool ResyncPending() const { return m_resync.load(std::memory_order_acquire); }
  bool BlinkingEnabled() const { return m_blinkEnabled.load(std::memory_order_acquire); }
  bool DeviceOpen() const { return m_deviceOpen; }
  bool HasThread() const { return m_thread.joinable(); }
  bool ThreadFinished() const { return m_threadFinished.load(std::memory_order_acquire); }
  // True once the timing thread got SCHED_FIFO (it carries on without it otherwise).
  bool RealTimeScheduling() const { return m_realTime.load(std::memory_order_acquire); }
  // CPU time the timing thread has used so far, in nanoseconds (0 without a thread).
  std::int64_t TimingThreadCpuNanoseconds() const;

  // Waits until the timing thread is held by a Stop (waiting for a Resume that has not come) or
  // has finished, or timeout passes. Returns whether it is held or finished. A player without a
  // thread counts as finished.
  bool WaitUntilHeld(std::chrono::milliseconds timeout) const;

 private:
  // Timing thread.
  static void TimingThreadProc(BeatPlayer* player);
  std::uint32_t ThreadLoop();
  bool SoundHead();
  // The three-phase wait for the grid point origin + period. False when shutting down.
  bool WaitForNextBeat(std::int64_t origin, std::int64_t& now);
  void FadeCheck(std::int64_t origin, std::int64_t now);
  // Obeys a pending Stop by waiting until Resume. False when the player is shutting down.
  bool KeepRunning();
  // Removes the head the thread has just sounded, unless a Stop has cleared it meanwhile.
  void RemoveSoundedHead(std::uint64_t clearGeneration);

  // Unlinks every node; the caller holds m_queueLock and frees them after releasing it.
  BeatNode* DetachAll();
  // Unlinks the head (null when the queue is empty); the caller holds m_queueLock and frees it
  // after releasing it.
  BeatNode* UnlinkHead();
  static void FreeNodes(BeatNode* tail);

  PlayerOwner* m_owner;
  Clock* m_clock;
  MidiOut* m_midi;

  std::atomic<bool> m_running{false};
  bool m_deviceOpen = false;
  std::atomic<bool> m_blinkEnabled{false};
  std::atomic<bool> m_threadFinished{true};
  std::atomic<bool> m_resync{true};
  int m_bpm = 60;
  std::int64_t m_frequency = 0;
  std::atomic<std::int64_t> m_ticksPerBeat{0};

  // The queue. m_count is also read without the lock by the timing thread, as a hint.
  BeatNode* m_tail = nullptr;
  BeatNode* m_head = nullptr;
  std::atomic<int> m_count{0};
  mutable std::mutex m_queueLock;
  bool m_newNode = true;
  std::uint64_t m_clearGeneration = 0;  // under m_queueLock: counts ClearQueue and Stop

  // The hold. Stop and Resume change m_running and m_resync under m_holdMutex, and the timing
  // thread decides under it whether to hold and whether to take a fresh origin. A Stop that
  // comes after that decision, before the clock is read, is seen by the check of m_resync right
  // after the reading, which then takes no time from that origin.
  mutable std::mutex m_holdMutex;
  mutable std::condition_variable m_holdCv;
  bool m_shutdown = false;  // under m_holdMutex
  bool m_held = false;      // under m_holdMutex: the thread is waiting for Resume

  std::atomic<bool> m_realTime{false};
  TimingPriority m_priority;
  std::thread m_thread;
};

}  // namespace ticktavo
