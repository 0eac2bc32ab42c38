#include "engine/beat_player.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "engine/timing_thread.h"

namespace ticktavo {

namespace {

// Nodes kept for reuse: two beats queued, one refilled after the head was sounded, one spare.
constexpr int kSpareNodes = 4;

constexpr std::string_view kNoDeviceMessage =
    "Can't find a MIDI device!  Are your sound card and driver properly installed?";
constexpr std::string_view kSendErrorMessage = "Error sending Midi message to device";
constexpr std::string_view kCloseErrorMessage = "There was a problem closing the Midi device.";

std::string ReportTo() {
  return std::string("  Please report this error to ") + std::string(kSupportAddress) + ".";
}

std::string LowerHex(MidiResult value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xf]);
    value >>= 4;
  } while (value != 0);
  return text;
}

}  // namespace

std::string OpenErrorMessage(MidiResult result) {
  switch (result) {
    case kMidiOk:
      return {};
    case kMidiError:
      return "Unspecified error while initializing the MIDI device.";
    case kMidiBadDeviceId:
      return "There is no default MIDI device." + ReportTo();
    case kMidiAllocated:
      return "Your default MIDI device is in use.";
    case kMidiNoMemory:
      return "There was a memory error while opening the MIDI device.";
    case kMidiInvalidParam:
      return "Invalid parameter passed to midiOutOpen()." + ReportTo();
    case kMidiNoDevice:
      return "I can't find a MIDI device on your computer.";
    default:
      return "Unknown error (" + LowerHex(result) + ") opening the MIDI device." + ReportTo();
  }
}

BeatPlayer::BeatPlayer(PlayerOwner& owner, Clock& clock, MidiOut& midi, TimingPriority priority)
    : m_owner(&owner), m_clock(&clock), m_midi(&midi), m_priority(priority) {
  m_frequency = m_clock->Frequency();
  m_ticksPerBeat.store(m_frequency, std::memory_order_release);
  // The nodes the timing thread reuses: its refills never allocate.
  for (int i = 0; i < kSpareNodes; ++i) {
    if (auto* node = new (std::nothrow) BeatNode()) {
      node->older = m_spare;
      m_spare = node;
      ++m_spareCount;
    }
  }

  if (m_midi->GetNumDevs() == 0) {
    ReportError(kNoDeviceMessage);
    return;
  }
  const MidiResult result = m_midi->Open();
  if (result != kMidiOk) {
    ReportError(OpenErrorMessage(result));
    return;
  }
  m_deviceOpen = true;

  // The thread starts held: it waits for the first Resume (or the shutdown) before it plays.
  m_threadFinished.store(false, std::memory_order_release);
  try {
    m_thread = std::thread(&BeatPlayer::TimingThreadProc, this);
  } catch (const std::system_error&) {
    // No thread: the queue still works but nothing is ever sounded, as without a device.
    m_threadFinished.store(true, std::memory_order_release);
  }
}

BeatPlayer::~BeatPlayer() {
  m_ticksPerBeat.store(0, std::memory_order_release);
  {
    std::lock_guard hold(m_holdMutex);
    m_running.store(false, std::memory_order_release);
    m_shutdown = true;
  }
  m_holdCv.notify_all();
  ClearQueue();

  // The thread leaves at its next check: a held thread wakes up, one in a wait phase sees the
  // shutdown within one sleep step. It never waits for the window, so joining cannot hang.
  if (m_thread.joinable()) m_thread.join();

  // Closed only after the thread is gone, so no send can race with the close.
  if (m_deviceOpen && m_midi->Close() != kMidiOk) m_owner->ShowError(kCloseErrorMessage);
  FreeNodes(m_spare);
}

// --- The queue ---

// Fills the queue with the lock already held: the run's first beats on the window's thread
// (in Play), the next beat on the timing thread after each sounded one. It has its own
// open-a-beat flag, so the window's BeginBeat state is never touched from the timing thread.
class BeatPlayer::LockedBuilder final : public BeatBuilder {
 public:
  LockedBuilder(BeatPlayer& player, std::uint64_t run, bool mayAllocate)
      : m_player(player), m_run(run), m_mayAllocate(mayAllocate) {}

  void BeginBeat() override {
    m_node = nullptr;
    m_bpm = 0;
  }
  bool AddNote(int note, int velocity, int blinkFrame) override {
    if (m_node == nullptr) {
      m_node = m_player.OpenNodeLocked(blinkFrame, m_run, m_mayAllocate, m_bpm);
      if (m_node == nullptr) return false;
    }
    return AddEntry(*m_node, note, velocity);
  }
  void SetBeatTempo(int bpm) override { m_bpm = bpm; }

 private:
  BeatPlayer& m_player;
  const std::uint64_t m_run;
  const bool m_mayAllocate;
  BeatNode* m_node = nullptr;
  int m_bpm = 0;
};

BeatNode* BeatPlayer::OpenNodeLocked(int blinkFrame, std::uint64_t run, bool mayAllocate, int bpm) {
  BeatNode* node = m_spare;
  if (node != nullptr) {
    m_spare = node->older;
    --m_spareCount;
    *node = BeatNode{};
  } else if (mayAllocate) {
    node = new (std::nothrow) BeatNode();
    if (node == nullptr) return nullptr;
  } else {
    return nullptr;
  }
  node->older = m_tail;
  node->blinkFrame = blinkFrame;
  node->run = run;
  node->bpm = bpm > 0 ? std::clamp(bpm, kMinBpm, kMaxBpm) : 0;
  node->tempoSerial = m_tempoSerial.load(std::memory_order_acquire);
  if (m_tail != nullptr) {
    m_tail->newer = node;
  } else {
    m_head = node;
  }
  m_tail = node;
  m_count.fetch_add(1, std::memory_order_acq_rel);
  return node;
}

bool BeatPlayer::AddEntry(BeatNode& node, int note, int velocity) {
  // A beat holds at most nine entries; a tenth is refused rather than written past the node.
  if (node.entryCount >= kMaxBeatEntries) return false;
  node.notes[node.entryCount] = note;
  node.velocities[node.entryCount] = velocity;
  ++node.entryCount;
  return true;
}

void BeatPlayer::BeginBeat() {
  m_newNode = true;
  m_pendingBpm = 0;
}

void BeatPlayer::SetBeatTempo(int bpm) {
  m_pendingBpm = bpm;
}

bool BeatPlayer::AddNote(int note, int velocity, int blinkFrame) {
  bool added = false;
  {
    std::lock_guard lock(m_queueLock);
    BeatNode* target = m_tail;
    // With no beat open (the queue was emptied since the last BeginBeat) the entry opens one,
    // rather than being dropped.
    if (m_newNode || target == nullptr) {
      target =
          OpenNodeLocked(blinkFrame, m_run.load(std::memory_order_relaxed), true, m_pendingBpm);
      if (target != nullptr) m_newNode = false;
    }
    added = target != nullptr && AddEntry(*target, note, velocity);
  }
  if (added && note >= 0) PrepareSound(note, velocity);
  return added;
}

void BeatPlayer::PrepareSound(int note, int velocity) {
  if (m_deviceOpen) m_midi->Prepare(note, velocity);
}

bool BeatPlayer::RemoveHead() {
  BeatNode* spareless = nullptr;
  bool removed = false;
  {
    std::lock_guard lock(m_queueLock);
    BeatNode* head = UnlinkHead();
    removed = head != nullptr;
    if (head != nullptr) head->older = nullptr;
    spareless = RecycleLocked(head);
  }
  FreeNodes(spareless);
  return removed;
}

BeatNode* BeatPlayer::UnlinkHead() {
  BeatNode* removed = m_head;
  if (removed == nullptr) return nullptr;
  m_head = removed->newer;
  if (m_head != nullptr) {
    m_head->older = nullptr;
  } else {
    m_tail = nullptr;
  }
  m_count.fetch_sub(1, std::memory_order_acq_rel);
  return removed;
}

BeatNode* BeatPlayer::DetachAll() {
  BeatNode* tail = m_tail;
  m_tail = nullptr;
  m_head = nullptr;
  m_count.store(0, std::memory_order_release);
  return tail;
}

BeatNode* BeatPlayer::RecycleLocked(BeatNode* nodes) {
  while (nodes != nullptr && m_spareCount < kSpareNodes) {
    BeatNode* older = nodes->older;
    nodes->older = m_spare;
    m_spare = nodes;
    ++m_spareCount;
    nodes = older;
  }
  return nodes;
}

void BeatPlayer::FreeNodes(BeatNode* tail) {
  while (tail != nullptr) {
    BeatNode* older = tail->older;
    delete tail;
    tail = older;
  }
}

bool BeatPlayer::ClearQueue() {
  BeatNode* spareless = nullptr;
  {
    std::lock_guard lock(m_queueLock);
    spareless = RecycleLocked(DetachAll());
  }
  FreeNodes(spareless);
  return true;
}

BeatPlayer::QueueSnapshot BeatPlayer::SnapshotQueue() const {
  QueueSnapshot snapshot;
  std::lock_guard lock(m_queueLock);
  snapshot.count = m_count.load(std::memory_order_acquire);

  // Bounded walks, so a broken link shows up as a mismatch instead of a hang.
  const int limit = snapshot.count + 1;
  std::vector<const BeatNode*> forward;
  for (const BeatNode* node = m_head; node != nullptr && static_cast<int>(forward.size()) < limit;
       node = node->newer) {
    forward.push_back(node);
  }
  auto indexOf = [&](const BeatNode* node) {
    if (node == nullptr) return -1;
    auto found = std::find(forward.begin(), forward.end(), node);
    return found == forward.end() ? -2 : static_cast<int>(found - forward.begin());
  };
  for (const BeatNode* node : forward) {
    QueueSnapshot::Beat beat{};
    const int entries = std::clamp(node->entryCount, 0, kMaxBeatEntries);
    for (int i = 0; i < entries; ++i) beat.entries.push_back({node->notes[i], node->velocities[i]});
    beat.blinkFrame = node->blinkFrame;
    beat.olderIndex = indexOf(node->older);
    beat.newerIndex = indexOf(node->newer);
    snapshot.beats.push_back(std::move(beat));
  }
  snapshot.tailIsLast =
      forward.empty() ? (m_tail == nullptr && m_head == nullptr) : forward.back() == m_tail;
  std::vector<const BeatNode*> backward;
  for (const BeatNode* node = m_tail; node != nullptr && static_cast<int>(backward.size()) < limit;
       node = node->older) {
    backward.push_back(node);
  }
  snapshot.olderWalkMatches =
      std::equal(forward.rbegin(), forward.rend(), backward.begin(), backward.end());
  return snapshot;
}

// --- Transport ---

void BeatPlayer::SetTempo(int bpm) {
  // The window keeps the tempo in range; clamping here keeps a stray 0 from dividing by zero
  // and a negative value from turning the grid backwards.
  bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
  m_bpm = bpm;
  // The serial first: a beat queued from here on carries the new one, and one queued before
  // (whose own tempo was worked out from the old tempo) no longer changes the period.
  m_tempoSerial.fetch_add(1, std::memory_order_acq_rel);
  m_ticksPerBeat.store(m_frequency * 60 / bpm, std::memory_order_release);
}

std::uint64_t BeatPlayer::Play(BeatSource& source) {
  const std::uint64_t run = m_run.load(std::memory_order_relaxed) + 1;
  {
    std::lock_guard lock(m_queueLock);
    m_run.store(run, std::memory_order_release);
    m_source = &source;
    source.Restart();
    // Two beats ahead: the first sounds as soon as the thread runs, and while it waits for the
    // second the thread has already queued the third.
    LockedBuilder builder(*this, run, true);
    source.QueueNextBeat(builder);
    source.QueueNextBeat(builder);
  }
  Resume();
  return run;
}

bool BeatPlayer::Resume() {
  {
    std::lock_guard hold(m_holdMutex);
    m_running.store(true, std::memory_order_release);
  }
  m_holdCv.notify_all();
  return true;
}

bool BeatPlayer::Stop() {
  // The hold request comes first: from here on the thread refuses to sound anything, whatever
  // is queued, until the next Resume. It never waits for the thread.
  {
    std::lock_guard hold(m_holdMutex);
    m_running.store(false, std::memory_order_release);
    m_resync.store(true, std::memory_order_release);
  }
  BeatNode* spareless = nullptr;
  {
    // The reset is made under the queue lock, so the device never gets a reset and a note-on
    // from the two threads at once, and a beat sounded before it is never sent after it.
    std::lock_guard lock(m_queueLock);
    spareless = RecycleLocked(DetachAll());
    if (m_deviceOpen) m_midi->Reset();
  }
  FreeNodes(spareless);
  return false;
}

void BeatPlayer::ReleaseSource(BeatSource& source) {
  std::lock_guard lock(m_queueLock);
  if (m_source == &source) m_source = nullptr;
}

void BeatPlayer::SetBlinking(bool enabled) {
  m_blinkEnabled.store(enabled, std::memory_order_release);
}

bool BeatPlayer::ReportError(std::string_view text) {
  if (OnTimingThread()) {
    m_owner->PostError(text);
  } else {
    m_owner->ShowError(text);
  }
  return Stop();
}

bool BeatPlayer::OnTimingThread() const {
  return m_thread.joinable() && std::this_thread::get_id() == m_thread.get_id();
}

// --- Observation ---

std::int64_t BeatPlayer::TimingThreadCpuNanoseconds() const {
  if (!m_thread.joinable()) return 0;
  // std::thread::native_handle is not const, though it changes nothing.
  return ThreadCpuNanoseconds(const_cast<std::thread&>(m_thread));
}

bool BeatPlayer::WaitUntilHeld(std::chrono::milliseconds timeout) const {
  std::unique_lock hold(m_holdMutex);
  // Held means waiting for a Resume that has not come: right after a Resume the thread may not
  // have woken up yet, and that does not count.
  return m_holdCv.wait_for(hold, timeout, [&] {
    return (m_held && !m_running.load(std::memory_order_acquire)) ||
           m_threadFinished.load(std::memory_order_acquire);
  });
}

// --- Timing thread ---

void BeatPlayer::TimingThreadProc(BeatPlayer* player) {
  if (player->m_priority == TimingPriority::kRealTime) {
    player->m_realTime.store(RaiseTimingThreadPriority(), std::memory_order_release);
  }
  player->ThreadLoop();
}

bool BeatPlayer::KeepRunning() {
  if (m_running.load(std::memory_order_acquire)) return true;
  std::unique_lock hold(m_holdMutex);
  if (!m_running.load(std::memory_order_acquire) && !m_shutdown) {
    m_held = true;
    m_holdCv.notify_all();
    m_holdCv.wait(hold, [&] { return m_running.load(std::memory_order_acquire) || m_shutdown; });
    m_held = false;
  }
  return !m_shutdown;
}

bool BeatPlayer::SoundHead(std::int64_t& origin, std::int64_t& now) {
  if (m_count.load(std::memory_order_acquire) == 0) return false;

  int blinkFrame = 0;
  int firstNote = -1;
  int firstVelocity = 0;
  std::uint64_t run = 0;
  int newBpm = 0;
  std::uint32_t tempoSerial = 0;
  BeatNode* spareless = nullptr;
  {
    std::unique_lock lock(m_queueLock);
    // A Stop posted since the last check wins: nothing sounds until the next Resume, even if
    // the window has queued the next run's beats already.
    if (!m_running.load(std::memory_order_acquire) || m_head == nullptr) return false;
    BeatNode* head = m_head;
    // The first beat of a run (a Stop, then Resume, came since the last one) goes out now and
    // its send time starts the grid: its place is half a millisecond on, like every beat's.
    if (m_resync.exchange(false, std::memory_order_acq_rel)) {
      now = m_clock->Now();
      origin = now + m_frequency / 2000;
      m_mainFrame = 0;  // the window blanked the blinker when it stopped
    }
    const std::int64_t gridTime = origin - m_frequency / 2000;
    for (int i = 0; i < head->entryCount; ++i) {
      if (head->notes[i] < 0) continue;  // a silent entry
      if (m_midi->ShortMsgAt(NoteOnMessage(head->notes[i], head->velocities[i]), gridTime) !=
          kMidiOk) {
        lock.unlock();
        ReportError(kSendErrorMessage);
        return false;
      }
    }
    blinkFrame = head->blinkFrame;
    firstNote = head->notes[0];
    firstVelocity = head->velocities[0];
    run = head->run;
    // A beat that changes the tempo does so as it sounds: the wait that follows has the new
    // period. A tempo the window set after the beat was queued stays.
    if (head->bpm > 0 && head->tempoSerial == m_tempoSerial.load(std::memory_order_acquire)) {
      newBpm = head->bpm;
      tempoSerial = head->tempoSerial;
      m_ticksPerBeat.store(m_frequency * 60 / newBpm, std::memory_order_release);
    }

    // Removed and replaced in the same step: the queue is two beats ahead again before the
    // thread starts waiting, and a Stop can only come before or after all of it.
    UnlinkHead();
    head->older = nullptr;
    spareless = RecycleLocked(head);
    if (m_source != nullptr) {
      LockedBuilder builder(*this, run, false);
      m_source->QueueNextBeat(builder);
    }
  }
  FreeNodes(spareless);

  m_soundedRun = run;
  if (m_blinkEnabled.load(std::memory_order_acquire) && blinkFrame != m_mainFrame) {
    m_mainFrame = blinkFrame;
    m_owner->PostMainBlinkerFrame(run, blinkFrame);
  }
  if (newBpm > 0) m_owner->PostTempoChanged(run, tempoSerial, newBpm);
  m_owner->PostBeatPlayed(run, firstVelocity, firstNote);
  return true;
}

void BeatPlayer::FadeCheck(std::int64_t origin, std::int64_t now) {
  // From 20 ms after the beat the main blinker goes down one frame per sleep step, whether or
  // not blinking is on: a blinker lit before it was switched off still goes out.
  if (now - origin >= m_frequency * 20 / 1000 && m_mainFrame > 0) {
    --m_mainFrame;
    m_owner->PostMainBlinkerFrame(m_soundedRun, m_mainFrame);
  }
}

bool BeatPlayer::WaitForNextBeat(std::int64_t origin, std::int64_t& now, std::int64_t period,
                                 bool& restartGrid) {
  // The targets are worked out afresh at every check, so a tempo change applies to the interval
  // under way. A Stop seen here holds the thread; after the next Resume the pending resync sends
  // it straight on to sound the new run's first beat.
  const std::int64_t frequency = m_frequency;
  restartGrid = false;

  // Coarse: 10 ms sleeps until 20 ms before the beat.
  for (;;) {
    if (m_resync.load(std::memory_order_acquire)) return true;
    if (!m_running.load(std::memory_order_acquire)) return KeepRunning();
    if (now >= origin + m_ticksPerBeat.load(std::memory_order_acquire) - frequency / 50) break;
    FadeCheck(origin, now);
    m_clock->Sleep(10);
    now = m_clock->Now();
  }
  // Fine: 2 ms sleeps until 4 ms before it.
  for (;;) {
    if (m_resync.load(std::memory_order_acquire)) return true;
    if (!m_running.load(std::memory_order_acquire)) return KeepRunning();
    if (now >= origin + m_ticksPerBeat.load(std::memory_order_acquire) - frequency / 250) break;
    FadeCheck(origin, now);
    m_clock->Sleep(2);
    now = m_clock->Now();
  }
  // Spin on the counter until half a millisecond before it: sleeping here would wake too late.
  for (;;) {
    if (m_resync.load(std::memory_order_acquire)) return true;
    if (!m_running.load(std::memory_order_acquire)) return KeepRunning();
    const std::int64_t current = m_ticksPerBeat.load(std::memory_order_acquire);
    const std::int64_t due = origin + current - frequency / 2000;
    if (now >= due) {
      // Overdue because the tempo went up past the time already gone: the beat goes out now,
      // and the next one a whole new period after it. Catching up on the old grid would sound
      // the next one at once as well: two clicks together where the user asked for a faster
      // beat. A late wake-up at an unchanged tempo still catches up on the grid.
      restartGrid = now > due && current != period;
      return true;
    }
    now = m_clock->Now();
  }
}

std::uint32_t BeatPlayer::ThreadLoop() {
  // The grid: origin is the clock value of the current beat's place, advanced by addition so
  // neither rounding nor late wake-ups accumulate.
  std::int64_t origin = 0;
  std::int64_t now = 0;

  // Each pass sounds one beat, then waits for the next grid point. KeepRunning is where a Stop
  // holds the thread; it is false only at shutdown.
  while (KeepRunning()) {
    // Idle wait: nothing is queued (a run fed by hand that ran dry).
    bool shuttingDown = false;
    while (m_count.load(std::memory_order_acquire) == 0) {
      m_clock->Sleep(10);
      if (!KeepRunning()) {
        shuttingDown = true;
        break;
      }
    }
    if (shuttingDown) break;

    // Nothing sounded means a Stop emptied the queue or a send failed (which stops): go back to
    // the hold, so the next run's first beat sounds as soon as it is resumed.
    if (!SoundHead(origin, now)) continue;
    bool restartGrid = false;
    if (!WaitForNextBeat(origin, now, m_ticksPerBeat.load(std::memory_order_acquire),
                         restartGrid)) {
      break;
    }
    origin = restartGrid ? now + m_frequency / 2000
                         : origin + m_ticksPerBeat.load(std::memory_order_acquire);
  }

  {
    std::lock_guard hold(m_holdMutex);
    m_threadFinished.store(true, std::memory_order_release);
  }
  m_holdCv.notify_all();
  return 0;
}

}  // namespace ticktavo
