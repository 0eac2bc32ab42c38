#pragma once

#include <atomic>
#include <string_view>

#include "engine/player_owner.h"

namespace ticktavo {

class BlinkerStatic;
class SyncChannel;

// The window's side of the engine's owner calls. Everything here runs on the window's thread.
class OwnerWindow {
 public:
  // The "Midi Error" box.
  virtual void ShowMidiError(std::string_view text) = 0;
  // A beat has been sounded; queue the next one.
  virtual void OnBeatPlayed(int velocity, int note) = 0;
  // Whether the engine still plays. A beat's frame that reaches the window after a stop was
  // sent before it (the timing thread had already sounded the beat) and must not light the
  // blinker the stop has just blanked.
  virtual bool EngineRunning() const = 0;

 protected:
  ~OwnerWindow() = default;
};

// The engine's owner: carries each call from the timing thread to the window's thread over
// the channel and waits until it has been handled, or returns at once once the channel is
// closed (the window is gone). A call made on the window's thread runs directly: the device
// error while the engine is being built, or a stop reported from the window's side.
//
// The main blinker's frame is checked on the calling thread first, so the timing thread's
// fading of a blank blinker, or a beat with the frame already shown, sends nothing.
class OwnerBridge final : public PlayerOwner {
 public:
  OwnerBridge(SyncChannel& channel, OwnerWindow& window);

  // Window's thread: the blinker the engine drives, once it exists; null to detach it.
  void SetMainBlinker(BlinkerStatic* blinker);

  void ShowError(std::string_view text) override;
  void SetMainBlinkerFrame(int frame) override;
  void FadeMainBlinker() override;
  void BeatPlayed(int velocity, int note) override;

 private:
  SyncChannel& m_channel;
  OwnerWindow& m_window;
  std::atomic<BlinkerStatic*> m_mainBlinker{nullptr};
};

}  // namespace ticktavo
