#pragma once

#include <string_view>

namespace ticktavo {

// How the player reaches its owner window. Every call is synchronous: it returns only after
// the window's thread has handled it, or at once when the window is gone. The timing thread
// never holds the queue lock while it calls here.
class PlayerOwner {
 public:
  // Modal error box with the caption "Midi Error" (owned by the window once it exists).
  virtual void ShowError(std::string_view text) = 0;
  // Main blinker: show this frame (nothing happens when it is already shown).
  virtual void SetMainBlinkerFrame(int frame) = 0;
  // Main blinker: one frame down, staying at 0.
  virtual void FadeMainBlinker() = 0;
  // A beat has been sounded: velocity and note of its first entry (note -1 when silent).
  virtual void BeatPlayed(int velocity, int note) = 0;

 protected:
  ~PlayerOwner() = default;
};

}  // namespace ticktavo
