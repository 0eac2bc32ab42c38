#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/beat_player.h"
#include "support/fake_clock.h"
#include "support/recording_midi_out.h"
#include "support/recording_owner.h"

namespace ticktavo::testing {

inline constexpr std::chrono::milliseconds kPatience{10'000};

// Beats of one entry each, frame 5; notes count up from 40 over the source's life, so every
// beat can be told apart, whichever run queued it.
class CountingSource final : public BeatSource {
 public:
  void Restart() override { ++restarts; }
  void QueueNextBeat(BeatBuilder& builder) override {
    builder.BeginBeat();
    builder.AddNote(next++, 100, 5);
  }
  std::atomic<int> next{40};
  std::atomic<int> restarts{0};
};

// A player on a fake clock at 1,000,000 ticks per second with a recording device and owner.
// Everything is stamped with the fake clock's tick. The timing thread runs without real-time
// scheduling: on a fake clock it never really sleeps.
//
// Start plays from a counting source, as the window plays its measure; the notification of
// beat number stopAfter (counted from 1 over the rig's life) stops the player from the timing
// thread, and the thread is then held.
class PlayerRig {
 public:
  explicit PlayerRig(unsigned numDevs = 1, MidiResult openResult = kMidiOk) {
    midi.SetNumDevs(numDevs);
    midi.SetOpenResult(openResult);
    midi.SetTimestampSource([this] { return clock.Ticks(); });
    owner.SetTimestampSource([this] { return clock.Ticks(); });
    player = std::make_unique<BeatPlayer>(owner, clock, midi, TimingPriority::kNormal);
    owner.OnBeatPlayed([this](int, int) { OnBeatPlayed(); });
  }

  ~PlayerRig() {
    // The window goes before the player, so late calls return at once.
    owner.Close();
    player.reset();
  }

  // One beat queued by hand, as the source would queue it.
  void QueueNext() {
    player->BeginBeat();
    player->AddNote(source.next++, 100, 5);
  }

  // As the window starts the metronome: tempo, then Play from the source.
  std::uint64_t Start(int bpm, int stopAfter) {
    m_stopAfter = stopAfter;
    player->SetTempo(bpm);
    return player->Play(source);
  }

  // Plays what is queued by hand (no source); stops after stopAfter notifications in all.
  void PlayQueued(int bpm, int stopAfter) {
    m_stopAfter = stopAfter;
    player->SetTempo(bpm);
    player->Resume();
  }

  // Runs first in every notification, on the timing thread, with the number of beats played
  // so far.
  void OnEachBeat(std::function<void(int played)> reaction) { m_onEachBeat = std::move(reaction); }

  bool WaitHeld() { return player->WaitUntilHeld(kPatience); }

  std::vector<std::int64_t> SendTicks() const { return midi.SendTimes(); }
  std::vector<std::int64_t> GridTicks() const {
    std::vector<std::int64_t> ticks;
    for (const auto& call : midi.Sent()) ticks.push_back(call.gridTime);
    return ticks;
  }
  std::vector<int> SentNotes() const { return midi.SentNotes(); }
  std::vector<std::int64_t> TicksOf(RecordingOwner::Kind kind) const {
    std::vector<std::int64_t> ticks;
    for (const auto& call : owner.CallsOf(kind)) ticks.push_back(call.time);
    return ticks;
  }
  std::vector<FakeClock::SleepCall> SleepsBetween(std::int64_t from, std::int64_t to) const {
    std::vector<FakeClock::SleepCall> found;
    for (const auto& sleep : clock.Sleeps())
      if (sleep.tick >= from && sleep.tick < to) found.push_back(sleep);
    return found;
  }

  int Played() const { return m_played; }

  FakeClock clock{1'000'000};
  RecordingMidiOut midi;
  RecordingOwner owner;
  CountingSource source;
  std::unique_ptr<BeatPlayer> player;

 private:
  void OnBeatPlayed() {
    const int played = ++m_played;
    if (m_onEachBeat) m_onEachBeat(played);
    if (played == m_stopAfter) player->Stop();
  }

  std::atomic<int> m_played{0};
  std::atomic<int> m_stopAfter{0};
  std::function<void(int)> m_onEachBeat;
};

}  // namespace ticktavo::testing
