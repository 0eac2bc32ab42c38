#pragma once

#include <cstdint>
#include <string_view>

namespace ticktavo {

// How the player reaches its owner window.
//
// The Post calls come from the timing thread and hand the news to the window's thread without
// waiting for it: they return at once, whatever the window is doing, and never allocate in
// steady state. A window that is busy (resized, painting, saving) therefore never moves a
// beat. Each run (one Play) has a number; what the window receives for an earlier run is
// stale and must be dropped, so a quick Stop and Play never shows or counts an old beat.
//
// ShowError is the one synchronous call: it is made on the window's thread itself, while the
// player is built (before the window exists) or destroyed.
class PlayerOwner {
 public:
  // Window's thread: a modal "Midi Error" box with this text, shown before returning.
  virtual void ShowError(std::string_view text) = 0;
  // Timing thread: a "Midi Error" box with this text, to be shown by the window's thread.
  virtual void PostError(std::string_view text) = 0;
  // Timing thread: the main blinker is to show this frame (a beat's frame, or a fade step).
  virtual void PostMainBlinkerFrame(std::uint64_t run, int frame) = 0;
  // Timing thread: a beat of this run has been sounded; velocity and note of its first entry
  // (note -1 when that entry is silent).
  virtual void PostBeatPlayed(std::uint64_t run, int velocity, int note) = 0;
  // Timing thread: a beat of this run that carried a tempo of its own (the speed trainer's
  // step) has been sounded, and the player now runs at bpm. tempoSerial is the player's
  // TempoSerial when the beat was queued: a window that has set a tempo since then has the
  // last word. Posted before the beat's PostBeatPlayed. An owner that shows no tempo ignores it.
  virtual void PostTempoChanged(std::uint64_t /*run*/, std::uint32_t /*tempoSerial*/, int /*bpm*/) {
  }

 protected:
  ~PlayerOwner() = default;
};

}  // namespace ticktavo
