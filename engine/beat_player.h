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
  std::int32_t blinkFrame = 0;    // main blinker frame, taken from the beat's first entry
  BeatNode* older = nullptr;      // queued just before this one (towards the head)
  BeatNode* newer = nullptr;      // queued just after this one (towards the tail)
  std::uint64_t run = 0;          // the run the beat was queued for
  std::int32_t bpm = 0;           // the tempo from this beat on; 0 keeps the tempo in force
  std::uint32_t tempoSerial = 0;  // the player's TempoSerial when the beat was queued
};

// Whether the timing thread asks the kernel for real-time scheduling (SCHED_FIFO). The program
// always asks; the benchmark can turn it off to show what the beat looks like without it.
enum class TimingPriority { kRealTime, kNormal };

// The open-error messages name this address.
inline constexpr std::string_view kSupportAddress = "support@quelbrand.example";

// The message shown for each result of opening the default device (0 gives an empty text).
std::string OpenErrorMessage(MidiResult result);

// The playback engine: a queue of beats and a timing thread that sounds them on a grid of clock
// ticks through one MIDI output device.
//
// A run (Play) starts with two beats queued from a BeatSource on the window's thread; from then
// on the timing thread takes the next beat from the same source right after each sounded beat,
// so the queue stays two beats ahead and nothing the window does (or fails to do in time) can
// hold a beat back. The grid of a run starts at its first beat: sent at t1, beat k is sent at
// t1 + (k - 1) periods. Each message goes to the device with the moment it belongs to, so a
// device that places its sound by time does not hear a late wake-up.
//
// Threads. The window's thread builds and destroys the player and calls Play, BeginBeat,
// AddNote, SetTempo, Resume, Stop and SetBlinking. The timing thread, created once at
// construction and ended only by the destructor, runs ThreadLoop; it reaches the owner only by
// posting, and the window's thread never holds a lock the timing thread needs while a run
// plays (Stop and Play take the queue lock for a few list operations). Stop never waits for
// the timing thread: it posts a hold that the thread obeys at its next check.
//
// The player does not own the owner, the clock or the device; they must outlive it. The
// destructor waits for the timing thread to end, which may still post on its way out.
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
  void SetBeatTempo(int bpm) override;

  // Frees the head beat; false when the queue is empty.
  bool RemoveHead();
  // Frees every queued beat; always true (the lock cannot fail).
  bool ClearQueue();

  // Beats per minute; values outside 4..1000 are taken as the nearest of the two.
  void SetTempo(int bpm) override;
  // Starts a run fed by source (see BeatSink::Play); source must outlive the player.
  std::uint64_t Play(BeatSource& source) override;
  // Lets the timing thread play. Always true.
  bool Resume();
  // Empties the queue, holds the timing thread at its next check, makes the next run take a
  // fresh time origin and silences the device. Always false. Safe from either thread.
  bool Stop() override;
  void ReleaseSource(BeatSource& source) override;
  void PrepareSound(int note, int velocity) override;
  // Whether a sounded beat sets the main blinker to its frame.
  void SetBlinking(bool enabled);
  // Shows text in the owner's "Midi Error" box (posted when the timing thread reports), then
  // stops. Returns Stop's result (false).
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
  // The number of the latest run (0 before the first Play).
  std::uint64_t CurrentRun() const { return m_run.load(std::memory_order_acquire); }
  bool NewNodePending() const { return m_newNode; }  // window's thread only

  int Bpm() const { return m_bpm; }  // window's thread only
  // How many times SetTempo has been called. A beat's own tempo (see SetBeatTempo) applies
  // only if no SetTempo came between its queueing and its sounding: the tempo the window set
  // last wins over a trainer step queued before it.
  std::uint32_t TempoSerial() const { return m_tempoSerial.load(std::memory_order_acquire); }
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
  class LockedBuilder;

  // Timing thread.
  static void TimingThreadProc(BeatPlayer* player);
  std::uint32_t ThreadLoop();
  // Sounds the head beat, removes it and queues the next from the source, all in one step
  // under the queue lock. A run's first beat goes out at once and sets origin (its grid point)
  // and now; every other beat belongs at origin. False when nothing was sounded.
  bool SoundHead(std::int64_t& origin, std::int64_t& now);
  // The three-phase wait for the grid point origin + period. False when shutting down.
  // restartGrid is set when a tempo change (from `period`, the one the wait began with) made the
  // beat overdue: it is then sent at once and the grid starts again from it.
  bool WaitForNextBeat(std::int64_t origin, std::int64_t& now, std::int64_t period,
                       bool& restartGrid);
  void FadeCheck(std::int64_t origin, std::int64_t now);
  // Obeys a pending Stop by waiting until Resume. False when the player is shutting down.
  bool KeepRunning();
  bool OnTimingThread() const;

  // The queue's list operations; the caller holds m_queueLock.
  // Links a fresh node (from the spare nodes, else allocated) at the tail; null when no
  // memory is left.
  BeatNode* OpenNodeLocked(int blinkFrame, std::uint64_t run, bool mayAllocate, int bpm = 0);
  // Adds an entry to node; false when it is full.
  static bool AddEntry(BeatNode& node, int note, int velocity);
  // Unlinks every node and returns them as a list linked by older (tail first).
  BeatNode* DetachAll();
  // Unlinks the head; null when the queue is empty.
  BeatNode* UnlinkHead();
  // Keeps nodes for reuse, up to kSpareNodes; returns the rest (linked by older) to free.
  BeatNode* RecycleLocked(BeatNode* nodes);
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
  std::atomic<std::uint32_t> m_tempoSerial{0};

  // The queue. m_count is also read without the lock by the timing thread, as a hint.
  BeatNode* m_tail = nullptr;
  BeatNode* m_head = nullptr;
  std::atomic<int> m_count{0};
  mutable std::mutex m_queueLock;
  bool m_newNode = true;
  int m_pendingBpm = 0;  // window's thread: SetBeatTempo for the beat BeginBeat armed
  // Under m_queueLock: nodes kept for reuse (linked by older), so that the timing thread's
  // refills never allocate, and the source of the run being played.
  BeatNode* m_spare = nullptr;
  int m_spareCount = 0;
  BeatSource* m_source = nullptr;
  std::atomic<std::uint64_t> m_run{0};

  // Timing thread only: the main blinker's frame as last posted, and the run it belongs to.
  int m_mainFrame = 0;
  std::uint64_t m_soundedRun = 0;

  // The hold. Stop and Resume change m_running and m_resync under m_holdMutex, and the timing
  // thread decides under it whether to hold. Whether a beat is the first of a run (and so takes
  // a fresh origin) is decided under the queue lock as it is sounded, where a Stop that came
  // meanwhile is seen as well.
  mutable std::mutex m_holdMutex;
  mutable std::condition_variable m_holdCv;
  bool m_shutdown = false;  // under m_holdMutex
  bool m_held = false;      // under m_holdMutex: the thread is waiting for Resume

  std::atomic<bool> m_realTime{false};
  TimingPriority m_priority;
  std::thread m_thread;
};

}  // namespace ticktavo
