#include "support/recording_midi_out.h"

#include <algorithm>

namespace ticktavo::testing {

unsigned RecordingMidiOut::GetNumDevs() {
  std::lock_guard lock(m_mutex);
  return m_numDevs;
}

RecordingMidiOut::Call& RecordingMidiOut::Record(Op op) {
  Call call{};
  call.op = op;
  call.time = m_timestamp ? m_timestamp() : 0;
  m_calls.push_back(call);
  return m_calls.back();
}

MidiResult RecordingMidiOut::Open() {
  std::lock_guard lock(m_mutex);
  Call& call = Record(Op::kOpen);
  call.result = m_openResult;
  m_changed.notify_all();
  return m_openResult;
}

MidiResult RecordingMidiOut::ShortMsg(std::uint32_t message) {
  return ShortMsgAt(message, -1);
}

MidiResult RecordingMidiOut::ShortMsgAt(std::uint32_t message, std::int64_t gridTime) {
  std::lock_guard lock(m_mutex);
  Call& call = Record(Op::kShortMsg);
  call.message = message;
  call.gridTime = gridTime;
  auto failure = m_shortMsgFailures.find(m_shortMsgCalls++);
  if (failure != m_shortMsgFailures.end()) call.result = failure->second;
  m_changed.notify_all();
  return call.result;
}

MidiResult RecordingMidiOut::Reset() {
  std::lock_guard lock(m_mutex);
  Record(Op::kReset);
  m_changed.notify_all();
  return kMidiOk;
}

MidiResult RecordingMidiOut::Close() {
  std::lock_guard lock(m_mutex);
  Call& call = Record(Op::kClose);
  call.result = m_closeResult;
  m_changed.notify_all();
  return m_closeResult;
}

void RecordingMidiOut::Prepare(int note, int velocity) {
  std::lock_guard lock(m_mutex);
  Call& call = Record(Op::kPrepare);
  call.note = note;
  call.velocity = velocity;
  m_changed.notify_all();
}

void RecordingMidiOut::SetTimestampSource(std::function<std::int64_t()> source) {
  std::lock_guard lock(m_mutex);
  m_timestamp = std::move(source);
}

void RecordingMidiOut::SetNumDevs(unsigned numDevs) {
  std::lock_guard lock(m_mutex);
  m_numDevs = numDevs;
}

void RecordingMidiOut::SetOpenResult(MidiResult result) {
  std::lock_guard lock(m_mutex);
  m_openResult = result;
}

void RecordingMidiOut::SetCloseResult(MidiResult result) {
  std::lock_guard lock(m_mutex);
  m_closeResult = result;
}

void RecordingMidiOut::FailShortMsg(int index, MidiResult code) {
  std::lock_guard lock(m_mutex);
  m_shortMsgFailures[index] = code;
}

void RecordingMidiOut::Reserve(std::size_t calls) {
  std::lock_guard lock(m_mutex);
  m_calls.reserve(calls);
}

std::vector<RecordingMidiOut::Call> RecordingMidiOut::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<RecordingMidiOut::Call> RecordingMidiOut::Sent() const {
  std::lock_guard lock(m_mutex);
  std::vector<Call> sent;
  std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(sent),
               [](const Call& c) { return c.op == Op::kShortMsg; });
  return sent;
}

std::vector<std::uint32_t> RecordingMidiOut::Messages() const {
  std::vector<std::uint32_t> messages;
  for (const Call& c : Sent()) messages.push_back(c.message);
  return messages;
}

int RecordingMidiOut::Count(Op op) const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(
      std::count_if(m_calls.begin(), m_calls.end(), [op](const Call& c) { return c.op == op; }));
}

bool RecordingMidiOut::WaitForSent(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(
               std::count_if(m_calls.begin(), m_calls.end(),
                             [](const Call& c) { return c.op == Op::kShortMsg; })) >= count;
  });
}

void RecordingMidiOut::Clear() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

std::vector<std::int64_t> RecordingMidiOut::SendTimes() const {
  std::vector<std::int64_t> times;
  for (const Call& call : Sent()) times.push_back(call.time);
  return times;
}

std::vector<int> RecordingMidiOut::SentNotes() const {
  std::vector<int> notes;
  for (const Call& call : Sent()) notes.push_back(static_cast<int>((call.message >> 8) & 0x7f));
  return notes;
}

}  // namespace ticktavo::testing
