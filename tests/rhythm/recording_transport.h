#pragma once

#include <string>
#include <string_view>
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
// does: BeginBeat arms a new beat, the next AddNote opens it.
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
    if (m_newBeat || beats.empty()) beats.emplace_back();
    m_newBeat = false;
    beats.back().push_back({note, velocity, blinkFrame});
    return true;
  }
  void SetTempo(int bpm) override { m_log.push_back("SetTempo " + std::to_string(bpm)); }
  bool Resume() override {
    m_log.push_back("Resume");
    return true;
  }
  bool Stop() override {
    m_log.push_back("Stop");
    return true;
  }

  // Every beat opened so far, in queueing order.
  std::vector<std::vector<QueuedNote>> beats;

 private:
  std::vector<std::string>& m_log;
  bool m_newBeat = true;
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

  bool customSelected = false;
  std::string customText = "31212012121";
  std::string caption = "&Play";
  std::string toolTip = "Start the metronome (Enter)";

 private:
  std::vector<std::string>& m_log;
};

}  // namespace ticktavo::testing
