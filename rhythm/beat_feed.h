#pragma once

#include <atomic>

#include "engine/beat_sink.h"
#include "engine/triple_buffer.h"
#include "rhythm/measure.h"
#include "rhythm/voice_settings.h"

namespace ticktavo {

// The beats the player plays: the measure and the voices as the window last published them,
// and the position in the measure.
//
// The window's thread publishes; the player asks for the next beat under its queue lock, on
// the window's thread for a run's first two beats and on the timing thread after that. Reading
// the published values never waits for the window (they go through a triple buffer), so a
// window that is busy while it edits cannot hold back a beat. Values are taken when a beat is
// queued: a change is heard from the beat after the two already queued.
class BeatFeed final : public BeatSource {
 public:
  struct Program {
    Measure measure;
    VoiceSettings voices;
  };

  // Window's thread.
  void Publish(const Measure& measure, const VoiceSettings& voices);

  // BeatSource: the player's side.
  void Restart() override;
  // Queues the slot at the current position as one beat and advances, wrapping to 0 at the
  // length (compared unsigned: a position left beyond a shrunk length is played once, and a
  // length of 0 or 1 keeps queueing slot 0).
  void QueueNextBeat(BeatBuilder& builder) override;

  // The index of the next slot to queue. Any thread (for display and tests).
  int CurrentBeat() const { return m_currentBeat.load(std::memory_order_relaxed); }

 private:
  // One entry of the beat: a voice index 0..8, or silence.
  static void QueueVoice(BeatBuilder& builder, const VoiceSettings& voices, int voice);
  // Every entry of a chord slot, in the order written; an empty chord queues one silent entry
  // so that every beat adds a note.
  static void QueueChord(BeatBuilder& builder, const VoiceSettings& voices, const BeatSlot& slot);

  TripleBuffer<Program> m_program;
  std::atomic<int> m_currentBeat{0};
};

}  // namespace ticktavo
