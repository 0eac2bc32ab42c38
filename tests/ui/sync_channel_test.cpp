// The channel that carries the timing thread's calls to the window's thread: calls block
// until handled, closing releases them, calls on the window's thread run directly, and
// checks that fail send nothing.

#include <atomic>
#include <future>
#include <thread>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include "ui/blinker_static.h"
#include "ui/owner_bridge.h"
#include "ui/sync_channel.h"

namespace ticktavo::testing {
namespace {

constexpr auto kPatience = std::chrono::seconds(10);

TEST(SyncChannel, CallFromAnotherThreadRunsOnTheWindowThreadAndWaitsForIt) {
  SyncChannel channel;
  QThread* ranOn = nullptr;
  std::atomic<bool> returned{false};
  std::thread caller([&] {
    channel.Call([&] { ranOn = QThread::currentThread(); });
    returned = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
  caller.join();
  EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST(SyncChannel, ClosingReleasesAWaitingCallerWithoutRunningIt) {
  SyncChannel channel;
  bool ran = false;
  auto done = std::async(std::launch::async, [&] { channel.Call([&] { ran = true; }); });
  // The call is posted but not handled: this thread runs no events before closing.
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!channel.HasPendingCall() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  ASSERT_TRUE(channel.HasPendingCall());
  channel.Close();
  ASSERT_EQ(done.wait_for(kPatience), std::future_status::ready);
  QCoreApplication::processEvents();  // the stale event finds the channel closed
  EXPECT_FALSE(ran);

  // Later calls return at once.
  auto late = std::async(std::launch::async, [&] { channel.Call([&] { ran = true; }); });
  ASSERT_EQ(late.wait_for(kPatience), std::future_status::ready);
  EXPECT_FALSE(ran);
}

TEST(SyncChannel, CallOnTheWindowThreadRunsDirectly) {
  SyncChannel channel;
  bool ran = false;
  channel.Call([&] { ran = true; });
  EXPECT_TRUE(ran);
  channel.Close();
  ran = false;
  channel.Call([&] { ran = true; });
  EXPECT_FALSE(ran);
}

class NullWindow final : public OwnerWindow {
 public:
  void ShowMidiError(std::string_view /*text*/) override {}
  void OnBeatPlayed(int velocity, int note) override {
    lastVelocity = velocity;
    lastNote = note;
    ++beats;
  }
  bool EngineRunning() const override { return running; }
  int beats = 0;
  int lastVelocity = 0;
  int lastNote = 0;
  bool running = true;
};

TEST(OwnerBridge, BlankBlinkerFadesAndRepeatedFramesCostTheTimingThreadNothing) {
  SyncChannel channel;
  NullWindow window;
  OwnerBridge bridge(channel, window);
  BlinkerStatic blinker;
  bridge.SetMainBlinker(&blinker);

  // If any of these were sent, the caller would wait for this thread's event loop, which
  // does not run until the future is ready.
  auto quiet = std::async(std::launch::async, [&] {
    for (int i = 0; i < 100; ++i) bridge.FadeMainBlinker();
    bridge.SetMainBlinkerFrame(0);
  });
  ASSERT_EQ(quiet.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(blinker.PictureChanges(), 0);

  auto lit = std::async(std::launch::async, [&] {
    bridge.SetMainBlinkerFrame(5);
    bridge.FadeMainBlinker();
    bridge.BeatPlayed(100, 37);
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return lit.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
  EXPECT_EQ(blinker.Frame(), 4);
  EXPECT_EQ(blinker.PictureChanges(), 2);
  EXPECT_EQ(window.beats, 1);
  EXPECT_EQ(window.lastNote, 37);
  EXPECT_EQ(window.lastVelocity, 100);

  // The window going away: a late beat or fade returns at once and reaches nothing.
  channel.Close();
  bridge.SetMainBlinker(nullptr);
  auto late = std::async(std::launch::async, [&] {
    bridge.SetMainBlinkerFrame(8);
    bridge.BeatPlayed(1, 2);
  });
  ASSERT_EQ(late.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(window.beats, 1);
  EXPECT_EQ(blinker.Frame(), 4);
}

// The timing thread sounds a beat and sends its frame; the user stops before the window's thread
// gets to it. The stop blanked the blinker, and the late frame must not light it again: the
// engine is held now, so nothing would fade it until the next start.
TEST(OwnerBridge, BeatFrameArrivingAfterAStopLeavesTheBlinkerBlank) {
  SyncChannel channel;
  NullWindow window;
  OwnerBridge bridge(channel, window);
  BlinkerStatic blinker;
  bridge.SetMainBlinker(&blinker);

  auto beat = std::async(std::launch::async, [&] { bridge.SetMainBlinkerFrame(8); });
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!channel.HasPendingCall() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  ASSERT_TRUE(channel.HasPendingCall());
  window.running = false;  // the stop, handled first
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return beat.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
  EXPECT_EQ(blinker.Frame(), 0);
  EXPECT_EQ(blinker.PictureChanges(), 0);
}

}  // namespace
}  // namespace ticktavo::testing
