#include "engine/beat_player.h"
#include "engine/realtime.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <ctime>
#include <new>
#include <system_error>

namespace ticktavo {

namespace {

constexpr int kMinBpm = 4;
constexpr int kMaxBpm = 1000;

// Above ordinary threads and the desktop's own real-time helpers (which sit at 20 or below),
// below the kernel's watchdogs at 99.
constexpr int kTimingThreadFifoPriority = 50;

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

void AskForRealTime(std::atomic<bool>& granted) {
  // SCHED_FIFO where allowed; an ordinary desktop user gets real-time scheduling through
  // RealtimeKit instead, and without either the thread keeps the normal policy: the beat is then
  // only as steady as the load on the machine allows.
  granted.store(IsRealTime(MakeThisThreadRealTime(kTimingThreadFifoPriority)),
                std::memory_order_release);
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
  // shutdown within one sleep step. Its owner calls return at once by now (the window is gone),
  // so joining cannot wait on this thread.
  if (m_thread.joinable()) m_thread.join();

  // Closed only after the thread is gone, so no send can race with the close.
  if (m_deviceOpen && m_midi->Close() != kMidiOk) m_owner->ShowError(kCloseErrorMessage);
}

// --- The queue ---

void BeatPlayer::BeginBeat() {
  m_newNode = true;
}

bool BeatPlayer::AddNote(int note, int velocity, int blinkFrame) {
  // Nodes are allocated here, on the window's thread, and outside the lock, so the timing thread
  // never waits for the allocator.
  BeatNode* fresh = nullptr;
  if (m_newNode || m_count.load(std::memory_order_acquire) == 0) {
    fresh = new (std::nothrow) BeatNode();
    if (fresh == nullptr && m_newNode) return false;
  }

  bool added = false;
  {
    std::lock_guard lock(m_queueLock);
    BeatNode* target = m_tail;
    // With no beat open (the queue was emptied since the last BeginBeat) the entry opens one,
    // rather than being dropped.
    if (m_newNode || target == nullptr) {
      if (fresh == nullptr) fresh = new (std::nothrow) BeatNode();
      if (fresh != nullptr) {
        fresh->older = m_tail;
        fresh->blinkFrame = blinkFrame;
        if (m_tail != nullptr) {
          m_tail->newer = fresh;
        } else {
          m_head = fresh;
        }
        m_tail = fresh;
        m_count.fetch_add(1, std::memory_order_acq_rel);
        m_newNode = false;
        target = fresh;
        fresh = nullptr;
      }
    }
    // A beat holds at most nine entries; a tenth is refused rather than written past the node.
    if (target != nullptr && target->entryCount < kMaxBeatEntries) {
      target->notes[target->entryCount] = note;
      target->velocities[target->entryCount] = velocity;
      ++target->entryCount;
      added = true;
    }
  }
  delete fresh;

  if (added && note >= 0 && m_deviceOpen) m_midi->Prepare(note, velocity);
  return added;
}

bool BeatPlayer::RemoveHead() {
  BeatNode* removed = nullptr;
  {
    std::lock_guard lock(m_queueLock);
    removed = UnlinkHead();
  }
  delete removed;
  return removed != nullptr;
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

void BeatPlayer::RemoveSoundedHead(std::uint64_t clearGeneration) {
  // Between the sounding and this removal the thread has been inside the owner's blinker call.
  // If a Stop came meanwhile, the sounded beat is gone already and the head may be the first
  // beat of the next run, which must not be lost. The check and the removal are one step under
  // the lock: the window may stop and start again at any moment in between otherwise.
  BeatNode* removed = nullptr;
  {
    std::lock_guard lock(m_queueLock);
    if (m_clearGeneration == clearGeneration) removed = UnlinkHead();
  }
  delete removed;
}

BeatNode* BeatPlayer::DetachAll() {
  BeatNode* tail = m_tail;
  m_tail = nullptr;
  m_head = nullptr;
  m_count.store(0, std::memory_order_release);
  ++m_clearGeneration;
  return tail;
}

void BeatPlayer::FreeNodes(BeatNode* tail) {
  while (tail != nullptr) {
    BeatNode* older = tail->older;
    delete tail;
    tail = older;
  }
}

bool BeatPlayer::ClearQueue() {
  BeatNode* detached = nullptr;
  {
    std::lock_guard lock(m_queueLock);
    detached = DetachAll();
  }
  FreeNodes(detached);
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
  m_ticksPerBeat.store(m_frequency * 60 / bpm, std::memory_order_release);
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
  // the window queues, until the next Resume. It never waits for the thread, which may be
  // inside a synchronous call to the window that is calling us.
  {
    std::lock_guard hold(m_holdMutex);
    m_running.store(false, std::memory_order_release);
    m_resync.store(true, std::memory_order_release);
  }
  BeatNode* detached = nullptr;
  {
    // The reset is made under the queue lock, so the device never gets a reset and a note-on
    // from the two threads at once.
    std::lock_guard lock(m_queueLock);
    detached = DetachAll();
    if (m_deviceOpen) m_midi->Reset();
  }
  FreeNodes(detached);
  return false;
}

void BeatPlayer::SetBlinking(bool enabled) {
  m_blinkEnabled.store(enabled, std::memory_order_release);
}

bool BeatPlayer::ReportError(std::string_view text) {
  m_owner->ShowError(text);
  return Stop();
}

// --- Observation ---

std::int64_t BeatPlayer::TimingThreadCpuNanoseconds() const {
  if (!m_thread.joinable()) return 0;
  clockid_t cpuClock{};
  // std::thread::native_handle is not const, though it changes nothing.
  if (pthread_getcpuclockid(const_cast<std::thread&>(m_thread).native_handle(), &cpuClock) != 0)
    return 0;
  timespec ts{};
  if (clock_gettime(cpuClock, &ts) != 0) return 0;
  return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
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
  if (player->m_priority == TimingPriority::kRealTime) AskForRealTime(player->m_realTime);
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

bool BeatPlayer::SoundHead() {
  if (m_count.load(std::memory_order_acquire) == 0) return false;

  int blinkFrame = 0;
  int firstNote = -1;
  int firstVelocity = 0;
  std::uint64_t generation = 0;
  {
    std::unique_lock lock(m_queueLock);
    // A Stop posted since the last check wins: nothing sounds until the next Resume, even if
    // the window has queued the next run's beats already.
    if (!m_running.load(std::memory_order_acquire) || m_head == nullptr) return false;
    const BeatNode& head = *m_head;
    for (int i = 0; i < head.entryCount; ++i) {
      if (head.notes[i] < 0) continue;  // a silent entry
      if (m_midi->ShortMsg(NoteOnMessage(head.notes[i], head.velocities[i])) != kMidiOk) {
        lock.unlock();
        ReportError(kSendErrorMessage);
        return false;
      }
    }
    blinkFrame = head.blinkFrame;
    firstNote = head.notes[0];
    firstVelocity = head.velocities[0];
    generation = m_clearGeneration;
  }
  // The owner's calls wait for the window's thread, so the lock is never held across them.
  if (m_blinkEnabled.load(std::memory_order_acquire)) m_owner->SetMainBlinkerFrame(blinkFrame);
  RemoveSoundedHead(generation);
  m_owner->BeatPlayed(firstVelocity, firstNote);
  return true;
}

void BeatPlayer::FadeCheck(std::int64_t origin, std::int64_t now) {
  if (now - origin >= m_frequency * 20 / 1000) m_owner->FadeMainBlinker();
}

bool BeatPlayer::WaitForNextBeat(std::int64_t origin, std::int64_t& now) {
  // The targets are worked out afresh at every check, so a tempo change applies to the interval
  // under way. A Stop seen here holds the thread; after the next Resume the pending resync sends
  // it straight on to sound the new run's first beat.
  const std::int64_t frequency = m_frequency;

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
    if (now >= origin + m_ticksPerBeat.load(std::memory_order_acquire) - frequency / 2000) {
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
    // Idle wait: the window has not queued anything (yet).
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
    if (!SoundHead()) continue;

    // A Stop that came while the beat was being sounded (the window may have stopped during its
    // notification) holds the thread here, so that the new run's origin is read after Resume.
    bool resync = false;
    {
      std::unique_lock hold(m_holdMutex);
      if (!m_running.load(std::memory_order_acquire) && !m_shutdown) {
        m_held = true;
        m_holdCv.notify_all();
        m_holdCv.wait(hold,
                      [&] { return m_running.load(std::memory_order_acquire) || m_shutdown; });
        m_held = false;
      }
      if (m_shutdown) break;
      resync = m_resync.exchange(false, std::memory_order_acq_rel);
    }

    bool skipWait = false;
    if (resync) {
      // The first beat of a run: the grid starts when its sounding, the window's handling of the
      // notification included, has finished.
      origin = m_clock->Now();
      now = origin;
      // Stopped again meanwhile: take no time from this origin.
      skipWait = m_resync.load(std::memory_order_acquire);
    }
    if (!skipWait && !WaitForNextBeat(origin, now)) break;
    origin += m_ticksPerBeat.load(std::memory_order_acquire);
  }

  {
    std::lock_guard hold(m_holdMutex);
    m_threadFinished.store(true, std::memory_order_release);
  }
  m_holdCv.notify_all();
  return 0;
}

}  // namespace ticktavo
