#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/beat_sink.h"
#include "rhythm/sequencer.h"

namespace ticktavo::testing {

// One queued note as the engine would get it.
struct QueuedNote {
  int note;
  int velocity;
  int blinkFrame;
  bool operator==(const QueuedNote&) const = default;
};

// Records the sequencer's calls in one log shared with the view, so the order between the
// engine and the window is visible. Also groups notes into beats the way the engine's queue
// does: BeginBeat arms a new beat, the next AddNote opens it. Play queues the first two beats
// from the source as the engine does; PlayBeats(n) stands for n sounded beats, each of which
// makes the engine queue the next one from the source.
class RecordingBeatSink final : public BeatSink {
 public:
  explicit RecordingBeatSink(std::vector<std::string>& log) : m_log(log) {}

  void BeginBeat() override {
    m_log.push_back("BeginBeat");
    m_newBeat = true;
  }
  bool AddNote(int note, int velocity, int blinkFrame) override {
    m_log.push_back("AddNote " + std::to_string(note) + " " + std::to_string(velocity) + " " +
                    std::to_string(blinkFrame));
    if (m_newBeat || beats.empty()) {
      beats.emplace_back();
      beatTempos.push_back(m_pendingTempo);
      m_pendingTempo = 0;
    }
    m_newBeat = false;
    beats.back().push_back({note, velocity, blinkFrame});
    return true;
  }
  void SetBeatTempo(int bpm) override {
    m_log.push_back("SetBeatTempo " + std::to_string(bpm));
    if (m_newBeat) m_pendingTempo = bpm;
  }
  void SetTempo(int bpm) override { m_log.push_back("SetTempo " + std::to_string(bpm)); }
  std::uint64_t Play(BeatSource& source) override {
    m_log.push_back("Play");
    m_source = &source;
    source.Restart();
    source.QueueNextBeat(*this);
    source.QueueNextBeat(*this);
    return ++m_run;
  }
  bool Stop() override {
    m_log.push_back("Stop");
    m_source = nullptr;
    return true;
  }
  void ReleaseSource(BeatSource& source) override {
    if (m_source == &source) m_source = nullptr;
  }
  void PrepareSound(int note, int velocity) override { prepared.emplace_back(note, velocity); }

  void PlayBeats(int count) {
    for (int i = 0; i < count && m_source != nullptr; ++i) m_source->QueueNextBeat(*this);
  }

  // Every beat opened so far, in queueing order, and the tempo each one changes to (0: none).
  std::vector<std::vector<QueuedNote>> beats;
  std::vector<int> beatTempos;
  // Every sound announced, in order.
  std::vector<std::pair<int, int>> prepared;

 private:
  std::vector<std::string>& m_log;
  bool m_newBeat = true;
  int m_pendingTempo = 0;
  BeatSource* m_source = nullptr;
  std::uint64_t m_run = 0;
};

class RecordingView final : public TransportView {
 public:
  explicit RecordingView(std::vector<std::string>& log) : m_log(log) {}

  bool IsCustomStyleSelected() const override { return customSelected; }
  std::string CustomMeasureText() const override { return customText; }
  void ShowErrorBox(std::string_view caption, std::string_view text) override {
    m_log.push_back("ErrorBox " + std::string(caption) + ": " + std::string(text));
  }
  void SetPlayButtonCaption(std::string_view caption) override {
    this->caption = caption;
    m_log.push_back("Caption " + std::string(caption));
  }
  void SetPlayButtonToolTip(std::string_view text) override {
    toolTip = text;
    m_log.push_back("ToolTip " + std::string(text));
  }
  void BlankMainBlinker() override { m_log.push_back("BlankMainBlinker"); }
  void ShowTempo(int bpm) override { m_log.push_back("ShowTempo " + std::to_string(bpm)); }

  bool customSelected = false;
  std::string customText = "31212012121";
  std::string caption = "&Play";
  std::string toolTip = "Start the metronome (Enter)";

 private:
  std::vector<std::string>& m_log;
};

}  // namespace ticktavo::testing
