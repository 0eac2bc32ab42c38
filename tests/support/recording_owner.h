#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/player_owner.h"

namespace ticktavo::testing {

// A player owner that records every call, can react to it on the calling thread (the timing
// thread, for posts), and can hold the timing thread inside a post so a test can act at that
// exact point of its loop (a real owner never holds it: see OwnerMailbox).
//
// Close() stands for the window going away: calls made after it return at once, unrecorded and
// without reactions, and Close() itself waits until no reaction is running.
class RecordingOwner final : public PlayerOwner {
 public:
  enum class Kind { kShowError, kPostError, kFrame, kBeatPlayed, kTempo };
  struct Call {
    Kind kind = Kind::kShowError;
    std::string text;       // kShowError, kPostError
    int frame = 0;          // kFrame
    std::uint64_t run = 0;  // kFrame, kBeatPlayed
    int velocity = 0;       // kBeatPlayed
    int note = 0;           // kBeatPlayed
    int bpm = 0;            // kTempo (run as well)
    std::int64_t time = 0;
  };

  void ShowError(std::string_view text) override;
  void PostError(std::string_view text) override;
  void PostMainBlinkerFrame(std::uint64_t run, int frame) override;
  void PostBeatPlayed(std::uint64_t run, int velocity, int note) override;
  void PostTempoChanged(std::uint64_t run, std::uint32_t tempoSerial, int bpm) override;

  // Where call times come from. Default: always 0.
  void SetTimestampSource(std::function<std::int64_t()> source);
  // Runs after each recorded beat / error (shown or posted), on the caller's thread.
  void OnBeatPlayed(std::function<void(int velocity, int note)> reaction);
  void OnShowError(std::function<void(std::string_view text)> reaction);

  // While the gate is closed, calls of this kind wait (after recording) until it opens again.
  // Only kFrame and kBeatPlayed can be held.
  void CloseGate(Kind kind = Kind::kBeatPlayed);
  void OpenGate();
  // Waits until a call is waiting at the closed gate.
  bool WaitUntilAtGate(std::chrono::milliseconds timeout) const;

  void Close();

  std::vector<Call> Calls() const;
  std::vector<Call> CallsOf(Kind kind) const;
  // The texts of every error, shown or posted.
  std::vector<std::string> Errors() const;
  // The frames posted, in order.
  std::vector<int> Frames() const;
  int Count(Kind kind) const;
  bool WaitForCount(Kind kind, int count, std::chrono::milliseconds timeout) const;

 private:
  // Records the call; false when closed.
  bool Record(Call call);
  // Waits while the gate is closed for this kind; false when closed meanwhile.
  bool PassGate(Kind kind);
  int CountLocked(Kind kind) const;

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::function<std::int64_t()> m_timestamp;
  std::vector<Call> m_calls;
  bool m_closed = false;
  bool m_gateClosed = false;
  Kind m_gateKind = Kind::kBeatPlayed;
  int m_waitingAtGate = 0;

  // Held while a reaction runs, so Close() can wait for it.
  std::mutex m_reactionMutex;
  std::function<void(int, int)> m_onBeatPlayed;
  std::function<void(std::string_view)> m_onShowError;
};

}  // namespace ticktavo::testing
