#include "rhythm/beat_feed.h"

#include <algorithm>

namespace ticktavo {

void BeatFeed::Publish(const Measure& measure, const VoiceSettings& voices) {
  Program program;
  program.measure = measure;
  program.voices = voices;
  m_program.Publish(program);
}

void BeatFeed::Restart() {
  m_currentBeat.store(0, std::memory_order_relaxed);
}

void BeatFeed::QueueNextBeat(BeatBuilder& builder) {
  const Program& program = m_program.Read();
  int position = m_currentBeat.load(std::memory_order_relaxed);
  builder.BeginBeat();
  const BeatSlot& slot = program.measure.Slot(position);
  if (slot.plain) {
    QueueVoice(builder, program.voices, slot.voice);
  } else {
    QueueChord(builder, program.voices, slot);
  }
  ++position;
  if (static_cast<unsigned>(position) >= static_cast<unsigned>(program.measure.BeatsPerMeasure())) {
    position = 0;
  }
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
