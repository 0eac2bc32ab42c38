#include "support/recording_owner.h"

#include <algorithm>

namespace ticktavo::testing {

namespace {

RecordingOwner::Call Make(RecordingOwner::Kind kind) {
  RecordingOwner::Call call;
  call.kind = kind;
  return call;
}

}  // namespace

bool RecordingOwner::Record(Call call) {
  std::lock_guard lock(m_mutex);
  if (m_closed) return false;
  call.time = m_timestamp ? m_timestamp() : 0;
  m_calls.push_back(std::move(call));
  m_changed.notify_all();
  return true;
}

void RecordingOwner::ShowError(std::string_view text) {
  Call call = Make(Kind::kShowError);
  call.text = std::string(text);
  if (!Record(std::move(call))) return;
  std::lock_guard reaction(m_reactionMutex);
  if (m_onShowError) m_onShowError(text);
}

void RecordingOwner::PostError(std::string_view text) {
  Call call = Make(Kind::kPostError);
  call.text = std::string(text);
  if (!Record(std::move(call))) return;
  std::lock_guard reaction(m_reactionMutex);
  if (m_onShowError) m_onShowError(text);
}

void RecordingOwner::PostMainBlinkerFrame(std::uint64_t run, int frame) {
  Call call = Make(Kind::kFrame);
  call.frame = frame;
  call.run = run;
  if (Record(std::move(call))) PassGate(Kind::kFrame);
}

void RecordingOwner::PostBeatPlayed(std::uint64_t run, int velocity, int note) {
  Call call = Make(Kind::kBeatPlayed);
  call.run = run;
  call.velocity = velocity;
  call.note = note;
  if (!Record(std::move(call)) || !PassGate(Kind::kBeatPlayed)) return;
  std::lock_guard reaction(m_reactionMutex);
  if (m_onBeatPlayed) m_onBeatPlayed(velocity, note);
}

void RecordingOwner::PostTempoChanged(std::uint64_t run, std::uint32_t /*tempoSerial*/, int bpm) {
  Call call = Make(Kind::kTempo);
  call.run = run;
  call.bpm = bpm;
  Record(std::move(call));
}

bool RecordingOwner::PassGate(Kind kind) {
  std::unique_lock lock(m_mutex);
  if (!m_gateClosed || m_gateKind != kind) return !m_closed;
  ++m_waitingAtGate;
  m_changed.notify_all();
  m_changed.wait(lock, [&] { return !m_gateClosed || m_closed; });
  --m_waitingAtGate;
  return !m_closed;
}

void RecordingOwner::SetTimestampSource(std::function<std::int64_t()> source) {
  std::lock_guard lock(m_mutex);
  m_timestamp = std::move(source);
}

void RecordingOwner::OnBeatPlayed(std::function<void(int, int)> reaction) {
  std::lock_guard lock(m_reactionMutex);
  m_onBeatPlayed = std::move(reaction);
}

void RecordingOwner::OnShowError(std::function<void(std::string_view)> reaction) {
  std::lock_guard lock(m_reactionMutex);
  m_onShowError = std::move(reaction);
}

void RecordingOwner::CloseGate(Kind kind) {
  std::lock_guard lock(m_mutex);
  m_gateClosed = true;
  m_gateKind = kind;
}

void RecordingOwner::OpenGate() {
  std::lock_guard lock(m_mutex);
  m_gateClosed = false;
  m_changed.notify_all();
}

bool RecordingOwner::WaitUntilAtGate(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_waitingAtGate > 0; });
}

void RecordingOwner::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
  }
  // A reaction under way finishes before the window counts as gone.
  std::lock_guard reaction(m_reactionMutex);
}

std::vector<RecordingOwner::Call> RecordingOwner::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<RecordingOwner::Call> RecordingOwner::CallsOf(Kind kind) const {
  std::lock_guard lock(m_mutex);
  std::vector<Call> calls;
  std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(calls),
               [kind](const Call& c) { return c.kind == kind; });
  return calls;
}

std::vector<std::string> RecordingOwner::Errors() const {
  std::vector<std::string> errors;
  for (const Call& c : Calls()) {
    if (c.kind == Kind::kShowError || c.kind == Kind::kPostError) errors.push_back(c.text);
  }
  return errors;
}

std::vector<int> RecordingOwner::Frames() const {
  std::vector<int> frames;
  for (const Call& c : CallsOf(Kind::kFrame)) frames.push_back(c.frame);
  return frames;
}

int RecordingOwner::CountLocked(Kind kind) const {
  return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(),
                                        [kind](const Call& c) { return c.kind == kind; }));
}

int RecordingOwner::Count(Kind kind) const {
  std::lock_guard lock(m_mutex);
  return CountLocked(kind);
}

bool RecordingOwner::WaitForCount(Kind kind, int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return CountLocked(kind) >= count; });
}

}  // namespace ticktavo::testing
