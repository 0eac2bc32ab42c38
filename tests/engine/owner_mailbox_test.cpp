// The window's end of the player's posts: what arrives, in which order, how often the window is
// woken, and that nothing reaches a window that has closed it.
#include "engine/owner_mailbox.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ticktavo {
namespace {

struct Window final : OwnerMailbox::Receiver {
  void OnMidiError(std::string_view text) override {
    log.push_back("error " + std::string(text));
    if (onError) onError();
  }
  void OnMainBlinkerFrame(std::uint64_t run, int frame) override {
    log.push_back("frame " + std::to_string(run) + ":" + std::to_string(frame));
  }
  void OnBeatPlayed(std::uint64_t run, int velocity, int note) override {
    log.push_back("beat " + std::to_string(run) + ":" + std::to_string(velocity) + ":" +
                  std::to_string(note));
  }
  void OnTempoChanged(std::uint64_t run, std::uint32_t serial, int bpm) override {
    log.push_back("tempo " + std::to_string(run) + ":" + std::to_string(serial) + ":" +
                  std::to_string(bpm));
  }
  std::vector<std::string> log;
  std::function<void()> onError;
};

void CountWake(void* context) {
  ++*static_cast<int*>(context);
}

TEST(OwnerMailboxTest, DrainHandsOverTheErrorTheLatestTempoTheBeatsInOrderAndTheLatestFrame) {
  Window window;
  OwnerMailbox mailbox(window);
  int wakes = 0;
  mailbox.SetWake(&CountWake, &wakes);

  mailbox.PostTempoChanged(1, 3, 205);
  mailbox.PostBeatPlayed(1, 100, 38);
  mailbox.PostMainBlinkerFrame(1, 8);
  mailbox.PostMainBlinkerFrame(1, 7);
  mailbox.PostTempoChanged(1, 3, 210);
  mailbox.PostBeatPlayed(1, 90, -1);
  mailbox.PostError("Error sending Midi message to device");
  mailbox.PostError("a second error before the first was shown is dropped");
  EXPECT_EQ(wakes, 1) << "one wake until the window has drained";
  EXPECT_TRUE(window.log.empty()) << "nothing runs on the posting thread";

  mailbox.Drain();
  EXPECT_EQ(window.log,
            (std::vector<std::string>{"error Error sending Midi message to device", "tempo 1:3:210",
                                      "beat 1:100:38", "beat 1:90:-1", "frame 1:7"}));
  mailbox.Drain();  // nothing new
  EXPECT_EQ(window.log.size(), 5u);

  mailbox.PostMainBlinkerFrame(2, 3);
  EXPECT_EQ(wakes, 2);
  // The window's own thread asks for a box at once (while the player is built or destroyed).
  mailbox.ShowError("There was a problem closing the Midi device.");
  EXPECT_EQ(window.log.back(), "error There was a problem closing the Midi device.");
}

// The error box runs a nested event loop, which drains again: the error is not shown twice and
// the beats are not handed over twice.
TEST(OwnerMailboxTest, ADrainFromInsideTheErrorBoxHandsNothingOverTwice) {
  Window window;
  OwnerMailbox mailbox(window);
  window.onError = [&] { mailbox.Drain(); };
  mailbox.PostError("Error sending Midi message to device");
  mailbox.PostBeatPlayed(4, 1, 2);
  mailbox.Drain();
  EXPECT_EQ(window.log,
            (std::vector<std::string>{"error Error sending Midi message to device", "beat 4:1:2"}));
}

TEST(OwnerMailboxTest, AClosedMailboxDropsPostsAndNeverWakesAgain) {
  Window window;
  OwnerMailbox mailbox(window);
  int wakes = 0;
  mailbox.SetWake(&CountWake, &wakes);
  mailbox.PostBeatPlayed(1, 100, 38);
  mailbox.Close();
  // Posted before and after the window went: none of it reaches the window.
  mailbox.PostBeatPlayed(1, 100, 39);
  mailbox.PostMainBlinkerFrame(1, 8);
  mailbox.PostError("late");
  mailbox.Drain();
  EXPECT_TRUE(window.log.empty());
  EXPECT_EQ(wakes, 1);
}

}  // namespace
}  // namespace ticktavo
