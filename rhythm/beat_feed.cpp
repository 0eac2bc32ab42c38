#include "rhythm/beat_feed.h"

#include <algorithm>

namespace ticktavo {

void BeatFeed::Publish(const Program& program) {
  m_program.Publish(program);
}

void BeatFeed::Restart() {
  const Program& program = m_program.Read();
  m_currentBeat.store(0, std::memory_order_relaxed);
  m_measures.store(0, std::memory_order_relaxed);
  m_countPosition = 0;
  m_beatsQueued = 0;
  m_tempo = program.bpm;
  m_tempoChanges = program.tempoChanges;
  for (auto& record : m_beatRecord) record.store(0, std::memory_order_relaxed);
}

int BeatFeed::MeasuresBeforeBeat(int beat) const {
  if (beat < 0) return -1;
  const std::uint64_t record =
      m_beatRecord[static_cast<std::size_t>(beat % kBeatRecord)].load(std::memory_order_acquire);
  // Stored as beat number + 1, so an empty record matches no beat.
  if ((record >> 32) != static_cast<std::uint64_t>(beat) + 1) return -1;
  return static_cast<int>(record & 0xFFFFFFFFu);
}

namespace {

// One trainer step from `tempo` towards `target`, never past it.
int StepTowards(int tempo, int target, int step) {
  return tempo < target ? std::min(tempo + step, target) : std::max(tempo - step, target);
}

}  // namespace

void BeatFeed::QueueNextBeat(BeatBuilder& builder) {
  const Program& program = m_program.Read();
  const PracticeSettings practice = program.practice.Clamped();
  int position = m_currentBeat.load(std::memory_order_relaxed);

  // A measure begins at its first slot, or (Straight) every straightCount beats.
  const bool firstOfMeasure = program.straightCount > 0 ? m_countPosition == 0 : position == 0;
  int measures = m_measures.load(std::memory_order_relaxed);
  if (firstOfMeasure && m_beatsQueued > 0) ++measures;

  // A tempo the window set meanwhile is where the trainer goes on from. The beat carries it
  // too, in case a step of the old tempo was queued after the window set it but before it
  // published.
  int beatTempo = 0;
  if (program.tempoChanges != m_tempoChanges) {
    m_tempoChanges = program.tempoChanges;
    m_tempo = program.bpm;
    if (practice.trainer) beatTempo = m_tempo;
  }

  builder.BeginBeat();
  if (practice.trainer && firstOfMeasure && measures > 0 && measures % practice.trainerEvery == 0) {
    const int next = StepTowards(m_tempo, practice.trainerTarget, practice.trainerStep);
    if (next != m_tempo) {
      m_tempo = next;
      beatTempo = next;
    }
  }
  if (beatTempo > 0) builder.SetBeatTempo(beatTempo);
  const bool silent = practice.mute &&
                      measures % (practice.mutePlayed + practice.muteSilent) >= practice.mutePlayed;
  const BeatSlot& slot = program.measure.Slot(position);
  if (silent) {
    builder.AddNote(-1, 0, 0);  // keeps its place on the grid, sends nothing, blinks nothing
  } else if (slot.plain) {
    QueueVoice(builder, program.voices, slot.voice);
  } else {
    QueueChord(builder, program.voices, slot);
  }

  ++position;
  if (static_cast<unsigned>(position) >= static_cast<unsigned>(program.measure.BeatsPerMeasure())) {
    position = 0;
  }
  if (program.straightCount > 0) m_countPosition = (m_countPosition + 1) % program.straightCount;
  m_beatRecord[static_cast<std::size_t>(m_beatsQueued % kBeatRecord)].store(
      (static_cast<std::uint64_t>(m_beatsQueued) + 1) << 32 | static_cast<std::uint32_t>(measures),
      std::memory_order_release);
  ++m_beatsQueued;
  m_measures.store(measures, std::memory_order_relaxed);
  m_currentBeat.store(position, std::memory_order_relaxed);
}

void BeatFeed::QueueVoice(BeatBuilder& builder, const VoiceSettings& voices, int voice) {
  if (voice < 0 || voice >= kVoiceCount) {
    builder.AddNote(-1, 0, 0);
    return;
  }
  const auto v = static_cast<std::size_t>(voice);
  // The window keeps the voices in range; this keeps whatever reaches the engine valid anyway.
  int instrument = voices.m_instrument[v];
  if (!PercussionTable::IsInstrument(instrument))
    instrument = PercussionTable::defaultInstrument[v];
  builder.AddNote(PercussionTable::NoteForInstrument(instrument),
                  std::clamp(voices.m_volume[v], 0, kMaxVolume),
                  std::clamp(voices.m_blinkSize[v], 0, kMaxBlinkFrame));
}

void BeatFeed::QueueChord(BeatBuilder& builder, const VoiceSettings& voices, const BeatSlot& slot) {
  const int count = std::clamp(slot.chordCount, 0, kMaxChordVoices);
  if (count == 0) {
    QueueVoice(builder, voices, kSilentVoice);
    return;
  }
  for (int i = 0; i < count; ++i) {
    QueueVoice(builder, voices, slot.chordVoices[static_cast<std::size_t>(i)]);
  }
}

}  // namespace ticktavo
