#include "support/fake_clock.h"

#include <algorithm>
#include <thread>

namespace ticktavo::testing {

FakeClock::FakeClock(std::int64_t frequency, std::int64_t start)
    : m_frequency(frequency), m_ticks(start), m_lastRead(start - 1) {}

std::int64_t FakeClock::Now() {
  std::int64_t value;
  {
    std::lock_guard lock(m_mutex);
    if (m_ticks <= m_lastRead) m_ticks = m_lastRead + 1;
    m_lastRead = m_ticks;
    ++m_reads;
    value = m_ticks;
  }
  RunDueActions();
  return value;
}

void FakeClock::Sleep(int milliseconds) {
  {
    std::lock_guard lock(m_mutex);
    m_sleeps.push_back({m_ticks, milliseconds});
    m_ticks += std::int64_t{milliseconds} * m_frequency / 1000 + m_lateness;
  }
  RunDueActions();
  // Give a watching thread a chance to run, as a real sleep would.
  std::this_thread::yield();
}

std::int64_t FakeClock::Ticks() const {
  std::lock_guard lock(m_mutex);
  return m_ticks;
}

void FakeClock::Advance(std::int64_t ticks) {
  {
    std::lock_guard lock(m_mutex);
    m_ticks += std::max<std::int64_t>(ticks, 0);
  }
  RunDueActions();
}

void FakeClock::SetSleepLateness(std::int64_t ticks) {
  std::lock_guard lock(m_mutex);
  m_lateness = std::max<std::int64_t>(ticks, 0);
}

void FakeClock::At(std::int64_t tick, std::function<void()> action) {
  std::lock_guard lock(m_mutex);
  m_actions.push_back({tick, std::move(action)});
  std::stable_sort(m_actions.begin(), m_actions.end(),
                   [](const Action& a, const Action& b) { return a.tick < b.tick; });
}

std::vector<FakeClock::SleepCall> FakeClock::Sleeps() const {
  std::lock_guard lock(m_mutex);
  return m_sleeps;
}

std::int64_t FakeClock::ReadCount() const {
  std::lock_guard lock(m_mutex);
  return m_reads;
}

void FakeClock::ClearSleeps() {
  std::lock_guard lock(m_mutex);
  m_sleeps.clear();
}

void FakeClock::RunDueActions() {
  // Actions run without the lock held, one at a time, so they may read or move the clock.
  for (;;) {
    std::function<void()> run;
    {
      std::lock_guard lock(m_mutex);
      if (m_actions.empty() || m_actions.front().tick > m_ticks) return;
      run = std::move(m_actions.front().run);
      m_actions.erase(m_actions.begin());
    }
    run();
  }
}

}  // namespace ticktavo::testing
