#pragma once

namespace ticktavo {

// What the sequencer needs of the playback engine. BeatPlayer implements it; the sequencer's
// tests use a recorder. All calls come from the window's thread.
class BeatSink {
 public:
  // The next AddNote opens a new beat.
  virtual void BeginBeat() = 0;
  // Adds one entry to the newest beat; note -1 is a silent entry. The beat's blink frame is
  // taken from its first entry.
  virtual bool AddNote(int note, int velocity, int blinkFrame) = 0;
  // Beats per minute, 4..1000.
  virtual void SetTempo(int bpm) = 0;
  virtual bool Resume() = 0;
  virtual bool Stop() = 0;

 protected:
  ~BeatSink() = default;
};

}  // namespace ticktavo
