#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "engine/midi_out.h"

namespace ticktavo::testing {

// A MIDI device that records every call with a time stamp and can be told to fail.
// Thread-safe: the timing thread sends while a test thread reads and waits.
class RecordingMidiOut final : public MidiOut {
 public:
  enum class Op { kOpen, kShortMsg, kReset, kClose, kPrepare };
  struct Call {
    Op op;
    std::uint32_t message = 0;  // kShortMsg
    int note = 0;               // kPrepare
    int velocity = 0;           // kPrepare
    MidiResult result = kMidiOk;
    std::int64_t time = 0;       // from the time stamp source
    std::int64_t gridTime = -1;  // kShortMsg sent with ShortMsgAt; -1 otherwise
  };

  explicit RecordingMidiOut(unsigned numDevs = 1) : m_numDevs(numDevs) {}

  unsigned GetNumDevs() override;
  MidiResult Open() override;
  MidiResult ShortMsg(std::uint32_t message) override;
  MidiResult ShortMsgAt(std::uint32_t message, std::int64_t gridTime) override;
  MidiResult Reset() override;
  MidiResult Close() override;
  void Prepare(int note, int velocity) override;

  // Where call times come from, e.g. [&clock] { return clock.Ticks(); }. Default: always 0.
  void SetTimestampSource(std::function<std::int64_t()> source);
  void SetNumDevs(unsigned numDevs);
  void SetOpenResult(MidiResult result);
  void SetCloseResult(MidiResult result);
  // The ShortMsg call with this index (0 = the first one ever) returns code.
  void FailShortMsg(int index, MidiResult code);
  // Keeps room for this many calls, so recording does not allocate while a benchmark plays.
  void Reserve(std::size_t calls);

  std::vector<Call> Calls() const;
  // The ShortMsg calls only, failed ones included.
  std::vector<Call> Sent() const;
  std::vector<std::uint32_t> Messages() const;
  // The time stamp and the note of each ShortMsg call, in order.
  std::vector<std::int64_t> SendTimes() const;
  std::vector<int> SentNotes() const;
  int Count(Op op) const;
  // Waits until at least count ShortMsg calls have been made, or timeout passes.
  bool WaitForSent(std::size_t count, std::chrono::milliseconds timeout) const;
  void Clear();

 private:
  Call& Record(Op op);  // under m_mutex

  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::function<std::int64_t()> m_timestamp;
  unsigned m_numDevs;
  MidiResult m_openResult = kMidiOk;
  MidiResult m_closeResult = kMidiOk;
  std::map<int, MidiResult> m_shortMsgFailures;
  int m_shortMsgCalls = 0;
  std::vector<Call> m_calls;
};

}  // namespace ticktavo::testing
