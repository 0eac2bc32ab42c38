#include "rhythm/sequencer.h"

#include <algorithm>

namespace ticktavo {

int Sequencer::OnBeatsPerMeasureChanged(std::string_view beatsText) {
  SetSimpleMeasure(m_measure, ReadBeatsPerMeasure(beatsText));
  return m_measure.BeatsPerMeasure();
}

void Sequencer::OnCustomMeasureChanged() {
  if (m_playing) StopMetronome();
}

MeasureParseResult Sequencer::ParseCustomMeasure() {
  return ticktavo::ParseCustomMeasure(m_view.CustomMeasureText(), m_measure);
}

bool Sequencer::StartMetronome() {
  if (m_view.IsCustomStyleSelected()) {
    const MeasureParseResult result = ParseCustomMeasure();
    if (result != MeasureParseResult::Ok) {
      m_view.ShowErrorBox(kMeasureErrorCaption, MeasureParseMessage(result));
      return false;
    }
  }
  m_currentBeat = 0;
  m_sink.SetTempo(m_bpm);
  // Two beats ahead: the timing thread sounds the first at once and, while it waits for the
  // second, our OnBeatPlayed has already queued the third.
  QueueNextBeat();
  QueueNextBeat();
  m_view.SetPlayButtonToolTip(kStopToolTip);
  m_sink.Resume();
  // The first BeatPlayed is handled on this thread after we return, so it already sees
  // m_playing set although the engine resumed before.
  m_playing = true;
  m_view.SetPlayButtonCaption(kStopCaption);
  return true;
}

void Sequencer::StopMetronome() {
  m_sink.Stop();
  m_playing = false;
  m_view.SetPlayButtonCaption(kPlayCaption);
  m_view.BlankMainBlinker();
  m_view.SetPlayButtonToolTip(kStartToolTip);
}

void Sequencer::TogglePlay() {
  if (m_playing) {
    StopMetronome();
  } else {
    StartMetronome();
  }
}

void Sequencer::OnBeatPlayed() {
  if (m_playing) QueueNextBeat();
}

void Sequencer::OnTempoChanged(int bpm) {
  m_bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
  if (m_playing) m_sink.SetTempo(m_bpm);
}

void Sequencer::QueueNextBeat() {
  m_sink.BeginBeat();
  const BeatSlot& slot = m_measure.Slot(m_currentBeat);
  if (slot.plain) {
    QueueVoice(slot.voice);
  } else {
    QueueChord();
  }
  // Compared unsigned, so a position left beyond a shrunk length is played once and then
  // wraps to 0; a length of 0 or 1 keeps queueing slot 0.
  ++m_currentBeat;
  if (static_cast<unsigned>(m_currentBeat) >= static_cast<unsigned>(m_measure.BeatsPerMeasure())) {
    m_currentBeat = 0;
  }
}

void Sequencer::QueueVoice(int voice) {
  if (voice < 0 || voice >= kVoiceCount) {
    m_sink.AddNote(-1, 0, 0);
    return;
  }
  const auto v = static_cast<std::size_t>(voice);
  // Stored settings are not range-checked on loading; keep what reaches the engine valid.
  int instrument = m_voices.m_instrument[v];
  if (!PercussionTable::IsInstrument(instrument))
    instrument = PercussionTable::defaultInstrument[v];
  m_sink.AddNote(PercussionTable::NoteForInstrument(instrument),
                 std::clamp(m_voices.m_volume[v], 0, kMaxVolume),
                 std::clamp(m_voices.m_blinkSize[v], 0, kMaxBlinkFrame));
}

void Sequencer::QueueChord() {
  const BeatSlot& slot = m_measure.Slot(m_currentBeat);
  const int count = std::clamp(slot.chordCount, 0, kMaxChordVoices);
  // "()" adds one silent entry: every queued beat must add a note, or the engine would see
  // one beat fewer and the queue would no longer stay two beats ahead.
  if (count == 0) {
    QueueVoice(kSilentVoice);
    return;
  }
  for (int i = 0; i < count; ++i) QueueVoice(slot.chordVoices[static_cast<std::size_t>(i)]);
}

}  // namespace ticktavo
