#pragma once

#include <cstdint>

namespace ticktavo {

// The tempos the metronome plays, in beats per minute.
inline constexpr int kMinBpm = 4;
inline constexpr int kMaxBpm = 1000;

// Where the notes of queued beats go: the player's queue, or a test's recorder.
class BeatBuilder {
 public:
  // The next AddNote opens a new beat.
  virtual void BeginBeat() = 0;
  // Adds one entry to the newest beat; note -1 is a silent entry. The beat's blink frame is
  // taken from its first entry.
  virtual bool AddNote(int note, int velocity, int blinkFrame) = 0;
  // The beat about to be opened (after BeginBeat) changes the tempo when it is sounded: the
  // interval before it keeps the old period, the ones after it have this one (4..1000 BPM).
  virtual void SetBeatTempo(int bpm) = 0;

 protected:
  ~BeatBuilder() = default;
};

// What the player plays: the sequence of beats of a run, one beat at a time.
//
// The player asks for beats under its queue lock, on the window's thread for the first two
// beats of a run (in Play) and then on the timing thread, right after each sounded beat, so
// the queue stays two beats ahead without the timing thread ever waiting for the window.
// Calls never overlap. QueueNextBeat runs on the timing thread: it must not block, allocate,
// or wait for any other thread.
class BeatSource {
 public:
  // A new run begins: the next beat is the first of the measure.
  virtual void Restart() = 0;
  // Adds the next beat (BeginBeat, then one to nine AddNote) and advances.
  virtual void QueueNextBeat(BeatBuilder& builder) = 0;

 protected:
  ~BeatSource() = default;
};

// What the sequencer needs of the playback engine. BeatPlayer implements it; the sequencer's
// tests use a recorder. All calls come from the window's thread.
class BeatSink : public BeatBuilder {
 public:
  // Beats per minute, 4..1000.
  virtual void SetTempo(int bpm) = 0;
  // Starts a run: source.Restart(), two beats queued from it, then the timing thread plays and
  // keeps the queue two beats ahead from source until Stop. Returns the run's number, which
  // the player's notifications carry; every Play gives a new one.
  virtual std::uint64_t Play(BeatSource& source) = 0;
  virtual bool Stop() = 0;
  // Takes no further beat from source (when it is the one being played); what is queued
  // still plays. Call before source goes away.
  virtual void ReleaseSource(BeatSource& source) = 0;
  // A hint that this note at this velocity will be played: a device that prepares its sounds
  // ahead of time can start now.
  virtual void PrepareSound(int note, int velocity) = 0;

 protected:
  ~BeatSink() = default;
};

}  // namespace ticktavo
