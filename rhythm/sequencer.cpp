#include "rhythm/sequencer.h"

#include <algorithm>
#include <bitset>

namespace ticktavo {

namespace {

std::size_t VoiceIndex(int voice) {
  return static_cast<std::size_t>(std::clamp(voice, 0, kVoiceCount - 1));
}

}  // namespace

Sequencer::Sequencer(BeatSink& sink, TransportView& view) : m_sink(sink), m_view(view) {
  Publish();
}

Sequencer::~Sequencer() {
  ReleaseFeed();
}

void Sequencer::ReleaseFeed() {
  m_sink.ReleaseSource(m_feed);
}

BeatFeed::Program Sequencer::Program() const {
  BeatFeed::Program program;
  program.measure = m_measure;
  program.voices = m_voices;
  program.practice = m_practice;
  program.bpm = m_userBpm;
  program.tempoChanges = m_tempoChanges;
  program.straightCount = m_straight ? std::max(m_beatsField, 1) : 0;
  return program;
}

MeasureParseResult Sequencer::ProgramToPlay(BeatFeed::Program& program) const {
  BeatFeed::Program now = Program();
  if (m_view.IsCustomStyleSelected()) {
    const MeasureParseResult result =
        ticktavo::ParseCustomMeasure(m_view.CustomMeasureText(), now.measure);
    if (result != MeasureParseResult::Ok) return result;
    now.straightCount = 0;
  }
  program = now;
  return MeasureParseResult::Ok;
}

void Sequencer::Publish() {
  m_feed.Publish(Program());
  // The sounds the measure can ask for, so a device that prepares them has them in time.
  std::bitset<kVoiceCount> used;
  const int length = std::max(m_measure.BeatsPerMeasure(), 1);
  for (int i = 0; i < length && !used.all(); ++i) {
    const BeatSlot& slot = m_measure.Slot(i);
    if (slot.plain) {
      if (slot.voice >= 0 && slot.voice < kVoiceCount)
        used.set(static_cast<std::size_t>(slot.voice));
      continue;
    }
    for (int c = 0; c < std::clamp(slot.chordCount, 0, kMaxChordVoices); ++c) {
      const int voice = slot.chordVoices[static_cast<std::size_t>(c)];
      if (voice >= 0 && voice < kVoiceCount) used.set(static_cast<std::size_t>(voice));
    }
  }
  for (std::size_t v = 0; v < used.size(); ++v) {
    if (used.test(v) && m_voices.m_volume[v] > 0) {
      m_sink.PrepareSound(PercussionTable::NoteForInstrument(m_voices.m_instrument[v]),
                          m_voices.m_volume[v]);
    }
  }
}

void Sequencer::SetVoiceInstrument(int voice, int instrument) {
  const std::size_t v = VoiceIndex(voice);
  if (!PercussionTable::IsInstrument(instrument))
    instrument = PercussionTable::defaultInstrument[v];
  m_voices.m_instrument[v] = instrument;
  Publish();
}

void Sequencer::SetVoiceVolume(int voice, int volume) {
  m_voices.m_volume[VoiceIndex(voice)] = std::clamp(volume, 0, kMaxVolume);
  Publish();
}

void Sequencer::SetVoiceBlinkSize(int voice, int blinkSize) {
  m_voices.m_blinkSize[VoiceIndex(voice)] = std::clamp(blinkSize, 0, kMaxBlinkFrame);
  Publish();
}

void Sequencer::SetPractice(const PracticeSettings& practice) {
  m_practice = practice.Clamped();
  Publish();
}

void Sequencer::SetStraightStyle() {
  ticktavo::SetStraightStyle(m_measure);
  m_straight = true;
  Publish();
}

int Sequencer::OnBeatsPerMeasureChanged(std::string_view beatsText) {
  m_beatsField = ReadBeatsPerMeasure(beatsText);
  SetSimpleMeasure(m_measure, m_beatsField);
  m_straight = false;
  Publish();
  return m_measure.BeatsPerMeasure();
}

void Sequencer::OnCustomMeasureChanged() {
  m_straight = false;
  if (m_playing) StopMetronome();
}

MeasureParseResult Sequencer::ParseCustomMeasure() {
  const MeasureParseResult result =
      ticktavo::ParseCustomMeasure(m_view.CustomMeasureText(), m_measure);
  m_straight = false;
  Publish();
  return result;
}

void Sequencer::SetMeasure(const Measure& measure) {
  m_measure = measure;
  Publish();
}

bool Sequencer::StartMetronome() {
  if (m_view.IsCustomStyleSelected()) {
    const MeasureParseResult result = ParseCustomMeasure();
    if (result != MeasureParseResult::Ok) {
      m_view.ShowErrorBox(kMeasureErrorCaption, MeasureParseMessage(result));
      return false;
    }
  }
  m_sink.SetTempo(m_bpm);
  m_view.SetPlayButtonToolTip(kStopToolTip);
  // The engine queues the measure's first two beats from the feed, then plays and keeps two
  // beats queued on its own.
  m_beatsPlayed = 0;
  m_run = m_sink.Play(m_feed);
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
  // The speed trainer's exercise can be played again from where it started.
  if (m_bpm != m_userBpm) {
    m_bpm = m_userBpm;
    m_view.ShowTempo(m_bpm);
  }
}

void Sequencer::TogglePlay() {
  if (m_playing) {
    StopMetronome();
  } else {
    StartMetronome();
  }
}

bool Sequencer::OnBeatPlayed(std::uint64_t run) {
  if (!IsCurrentRun(run)) return false;
  ++m_beatsPlayed;
  return true;
}

int Sequencer::MeasuresPlayed() const {
  return m_beatsPlayed > 0 ? m_feed.MeasuresBeforeBeat(m_beatsPlayed - 1) : -1;
}

void Sequencer::OnTempoChanged(int bpm) {
  bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
  if (bpm == m_bpm && bpm == m_userBpm) return;
  // Only while a trainer step is shown can the two differ; the step shown again is no choice.
  if (bpm == m_bpm && m_playing) return;
  m_bpm = bpm;
  m_userBpm = bpm;
  ++m_tempoChanges;
  if (m_playing) m_sink.SetTempo(m_bpm);
  Publish();
}

bool Sequencer::OnTrainerTempo(std::uint64_t run, int bpm) {
  if (!IsCurrentRun(run)) return false;
  m_bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
  m_view.ShowTempo(m_bpm);
  return true;
}

}  // namespace ticktavo
