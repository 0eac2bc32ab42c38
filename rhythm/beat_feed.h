#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/beat_sink.h"
#include "engine/triple_buffer.h"
#include "rhythm/measure.h"
#include "rhythm/practice.h"
#include "rhythm/voice_settings.h"

namespace ticktavo {

// The beats the player plays: the measure, the voices and the practice tools as the window last
// published them, and where the run stands (the position in the measure, the measures played,
// the speed trainer's tempo).
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
    PracticeSettings practice;
    // The tempo the window has set (the trainer steps on from it), and how many times it has
    // set one: a new count means the user chose a tempo, even the one published before, and
    // the trainer goes on from there.
    int bpm = 60;
    std::uint32_t tempoChanges = 0;
    // Beats of one counted measure when that is not the measure's length (Straight style);
    // 0 counts passes through the measure.
    int straightCount = 0;
  };

  // Window's thread.
  void Publish(const Program& program);

  // BeatSource: the player's side.
  void Restart() override;
  // Queues the slot at the current position as one beat and advances, wrapping to 0 at the
  // length (compared unsigned: a position left beyond a shrunk length is played once, and a
  // length of 0 or 1 keeps queueing slot 0).
  void QueueNextBeat(BeatBuilder& builder) override;

  // The index of the next slot to queue. Any thread (for display and tests).
  int CurrentBeat() const { return m_currentBeat.load(std::memory_order_relaxed); }
  // Measures finished before the beat queued last. Any thread.
  int MeasuresQueued() const { return m_measures.load(std::memory_order_relaxed); }
  // Measures finished before beat `beat` of the run (0 the first), for a beat queued within
  // the last kBeatRecord beats; -1 for one not queued or no longer recorded. Any thread: the
  // window reads it for beats it has been told were sounded.
  int MeasuresBeforeBeat(int beat) const;
  static constexpr int kBeatRecord = 256;

 private:
  // One entry of the beat: a voice index 0..8, or silence.
  static void QueueVoice(BeatBuilder& builder, const VoiceSettings& voices, int voice);
  // Every entry of a chord slot, in the order written; an empty chord queues one silent entry
  // so that every beat adds a note.
  static void QueueChord(BeatBuilder& builder, const VoiceSettings& voices, const BeatSlot& slot);

  TripleBuffer<Program> m_program;
  std::atomic<int> m_currentBeat{0};
  // The player's side: where the run stands.
  std::atomic<int> m_measures{0};
  int m_countPosition = 0;  // beat within the counted measure (Straight style)
  int m_beatsQueued = 0;
  int m_tempo = 0;                   // the tempo in force, as the trainer sees it
  std::uint32_t m_tempoChanges = 0;  // the window's count of tempo changes when last seen
  // Per queued beat, by beat number modulo kBeatRecord: (beat number + 1) << 32 | measures finished
  // before it, so a reader can tell a recorded beat from a later one in the same place.
  std::array<std::atomic<std::uint64_t>, kBeatRecord> m_beatRecord{};
};

}  // namespace ticktavo
