// The Windows back-ends: WinMM as the default device, the performance-counter clock and its
// waitable-timer sleeps, and what the timing thread asks of the system. Wine has no MIDI
// device, so the device tests take the path of a machine without one.
#include <windows.h>
// mmsystem.h after windows.h
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/beat_player.h"
#include "engine/clock.h"
#include "engine/timing_thread.h"
#include "engine/winmm_midi_out.h"
#include "support/recording_owner.h"

namespace ticktavo::testing {
namespace {

bool MachineHasMidiDevice() {
  return midiOutGetNumDevs() > 0;
}

TEST(WinMmMidiOutTest, WithoutADeviceEveryOperationFailsWithWinMmsOwnCode) {
  if (MachineHasMidiDevice()) GTEST_SKIP() << "this machine has a MIDI output device";
  WinMmMidiOut device;
  EXPECT_EQ(device.GetNumDevs(), 0u);
  // The mapper has nothing to map to: WinMM's own code comes back (Wine says
  // MIDIERR_INVALIDSETUP), and the player has words for any code.
  const MidiResult opened = device.Open();
  EXPECT_NE(opened, kMidiOk);
  EXPECT_FALSE(OpenErrorMessage(opened).empty());
  // Nothing open: the null handle is refused, never sent somewhere.
  EXPECT_EQ(device.ShortMsg(NoteOnMessage(38, 100)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(device.Reset(), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(device.Close(), MMSYSERR_INVALHANDLE);
}

TEST(WinMmMidiOutTest, ThePlayerOnTheDefaultDeviceSaysThereIsNone) {
  if (MachineHasMidiDevice()) GTEST_SKIP() << "this machine has a MIDI output device";
  RecordingOwner owner;
  MonotonicClock clock;
  WinMmMidiOut device;
  {
    BeatPlayer player(owner, clock, device);
    EXPECT_FALSE(player.HasThread());
    // Play queues beats that nothing sounds, and stopping needs no thread.
    player.BeginBeat();
    player.AddNote(38, 100, 1);
    player.Resume();
    player.Stop();
  }
  EXPECT_EQ(owner.Errors(),
            std::vector<std::string>{
                "Can't find a MIDI device!  Are your sound card and driver properly installed?"});
}

TEST(PerformanceCounterClockTest, CountsNanosecondsOfTheCounter) {
  MonotonicClock clock;
  LARGE_INTEGER frequency{}, before{}, after{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&before);
  const std::int64_t ns = clock.Now();
  QueryPerformanceCounter(&after);
  // The same instant as the counter, converted: between the two readings, within a tick's
  // rounding either side.
  const long double perTick = 1e9L / static_cast<long double>(frequency.QuadPart);
  EXPECT_GE(static_cast<long double>(ns), static_cast<long double>(before.QuadPart) * perTick - 1);
  EXPECT_LE(static_cast<long double>(ns), static_cast<long double>(after.QuadPart) * perTick + 1);
}

TEST(PerformanceCounterClockTest, SleepsOnTwoThreadsAtOnceEachLastTheirOwnTime) {
  // Each thread waits on its own timer: with a shared one, the 3 ms sleeps would re-arm the
  // timer under the 30 ms one and end it early (or never).
  MonotonicClock clock;
  std::atomic<std::int64_t> longSlept{0};
  std::thread longSleeper([&] {
    const std::int64_t start = clock.Now();
    clock.Sleep(30);
    longSlept = clock.Now() - start;
  });
  std::int64_t shortTotal = 0;
  for (int i = 0; i < 10; ++i) {
    const std::int64_t start = clock.Now();
    clock.Sleep(3);
    const std::int64_t slept = clock.Now() - start;
    EXPECT_GE(slept, 3'000'000);
    shortTotal += slept;
  }
  longSleeper.join();
  EXPECT_GE(longSlept.load(), 30'000'000);
  EXPECT_GE(shortTotal, 30'000'000);
}

TEST(TimingThreadTest, RaisesItsPriorityAndItsProcessorTimeCounts) {
  std::atomic<int> priority{THREAD_PRIORITY_ERROR_RETURN};
  std::atomic<bool> raised{false};
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    raised = RaiseTimingThreadPriority();
    priority = GetThreadPriority(GetCurrentThread());
    while (!stop.load()) {
      // Uses processor time until the clock below has counted some.
    }
  });
  while (priority.load() == THREAD_PRIORITY_ERROR_RETURN) std::this_thread::yield();
  // Thread times count in the system's ticks (10 ms under Wine): a busy machine may take a
  // while to give the worker one.
  std::int64_t cpu = 0;
  const std::int64_t deadline = MonotonicNanoseconds() + 30'000'000'000;
  while ((cpu = ThreadCpuNanoseconds(worker)) == 0 && MonotonicNanoseconds() < deadline) {
    Sleep(1);
  }
  stop = true;
  worker.join();
  EXPECT_TRUE(raised.load());
  EXPECT_TRUE(priority.load() == THREAD_PRIORITY_TIME_CRITICAL ||
              priority.load() == THREAD_PRIORITY_HIGHEST)
      << priority.load();
  EXPECT_GT(cpu, 0);
}

}  // namespace
}  // namespace ticktavo::testing
