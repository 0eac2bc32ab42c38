#include "ui/owner_bridge.h"

#include <QThread>

#include "ui/blinker_static.h"
#include "ui/sync_channel.h"

namespace ticktavo {

OwnerBridge::OwnerBridge(SyncChannel& channel, OwnerWindow& window)
    : m_channel(channel), m_window(window) {}

void OwnerBridge::SetMainBlinker(BlinkerStatic* blinker) {
  m_mainBlinker.store(blinker);
}

void OwnerBridge::ShowError(std::string_view text) {
  if (QThread::currentThread() == m_channel.thread() && !m_channel.IsOpen()) {
    // A report made by the window's own thread after the window closed (the device failing
    // to close at exit): still worth telling, just without an owner.
    m_window.ShowMidiError(text);
    return;
  }
  m_channel.Call([this, text] { m_window.ShowMidiError(text); });
}

void OwnerBridge::SetMainBlinkerFrame(int frame) {
  m_channel.Call(
      [this, frame] {
        BlinkerStatic* blinker = m_mainBlinker.load();
        return blinker != nullptr && blinker->WouldChange(frame);
      },
      [this, frame] {
        // Sent before a stop that the window handled first: the beat is over.
        if (!m_window.EngineRunning()) return;
        if (BlinkerStatic* blinker = m_mainBlinker.load()) blinker->SetFrame(frame);
      });
}

void OwnerBridge::FadeMainBlinker() {
  m_channel.Call(
      [this] {
        BlinkerStatic* blinker = m_mainBlinker.load();
        return blinker != nullptr && blinker->CanFade();
      },
      [this] {
        if (BlinkerStatic* blinker = m_mainBlinker.load()) blinker->FadeStep();
      });
}

void OwnerBridge::BeatPlayed(int velocity, int note) {
  m_channel.Call([this, velocity, note] { m_window.OnBeatPlayed(velocity, note); });
}

}  // namespace ticktavo
