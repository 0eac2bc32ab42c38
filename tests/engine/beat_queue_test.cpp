// The beat queue on its own. The player is built without a device, so no timing thread exists
// and the queue can be inspected between calls.
#include <gtest/gtest.h>

#include "player_rig.h"

namespace ticktavo::testing {
namespace {

using Entry = BeatPlayer::QueueSnapshot::Entry;

std::vector<std::pair<int, int>> Entries(const BeatPlayer::QueueSnapshot::Beat& beat) {
  std::vector<std::pair<int, int>> out;
  for (const Entry& e : beat.entries) out.emplace_back(e.note, e.velocity);
  return out;
}

// Head, tail and count agree, and the older walk is the newer walk reversed.
void ExpectConsistent(const BeatPlayer::QueueSnapshot& q) {
  EXPECT_EQ(q.count, static_cast<int>(q.beats.size()));
  EXPECT_TRUE(q.tailIsLast);
  EXPECT_TRUE(q.olderWalkMatches);
  for (std::size_t i = 0; i < q.beats.size(); ++i) {
    EXPECT_EQ(q.beats[i].olderIndex, static_cast<int>(i) - 1) << "beat " << i;
    EXPECT_EQ(q.beats[i].newerIndex, i + 1 == q.beats.size() ? -1 : static_cast<int>(i) + 1)
        << "beat " << i;
  }
}

class BeatQueueTest : public ::testing::Test {
 protected:
  PlayerRig rig{/*numDevs=*/0};
  BeatPlayer& player = *rig.player;
};

TEST_F(BeatQueueTest, OneSilentEntryMakesOneBeatWithFrameZero) {
  player.BeginBeat();
  EXPECT_TRUE(player.AddNote(-1, 0, 0));
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(Entries(q.beats[0]), (std::vector<std::pair<int, int>>{{-1, 0}}));
  EXPECT_EQ(q.beats[0].blinkFrame, 0);
}

TEST_F(BeatQueueTest, ChordKeepsEntryOrderAndTheFirstEntrysFrame) {
  player.BeginBeat();
  EXPECT_TRUE(player.AddNote(38, 100, 4));
  EXPECT_TRUE(player.AddNote(42, 80, 7));
  EXPECT_TRUE(player.AddNote(-1, 0, 0));
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(Entries(q.beats[0]), (std::vector<std::pair<int, int>>{{38, 100}, {42, 80}, {-1, 0}}));
  EXPECT_EQ(q.beats[0].blinkFrame, 4);
}

TEST_F(BeatQueueTest, BeginBeatAloneOrTwiceOpensNoBeat) {
  player.BeginBeat();
  player.BeginBeat();
  EXPECT_EQ(player.QueuedBeats(), 0);
  player.AddNote(38, 100, 1);
  EXPECT_EQ(player.QueuedBeats(), 1);
  // A beat that adds nothing leaves no node; the next beat's first entry opens one.
  player.BeginBeat();
  EXPECT_EQ(player.QueuedBeats(), 1);
  player.BeginBeat();
  player.AddNote(42, 90, 2);
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 2u);
  EXPECT_EQ(Entries(q.beats[1]), (std::vector<std::pair<int, int>>{{42, 90}}));
  EXPECT_EQ(q.beats[1].blinkFrame, 2);
}

TEST_F(BeatQueueTest, AddNoteWithoutBeginBeatExtendsTheTail) {
  player.BeginBeat();
  player.AddNote(38, 100, 3);
  player.BeginBeat();
  player.AddNote(40, 90, 6);
  player.AddNote(41, 70, 8);  // no BeginBeat: joins the tail, frame unchanged
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 2u);
  EXPECT_EQ(Entries(q.beats[1]), (std::vector<std::pair<int, int>>{{40, 90}, {41, 70}}));
  EXPECT_EQ(q.beats[1].blinkFrame, 6);
}

TEST_F(BeatQueueTest, RemoveHeadOnEmptyQueueChangesNothing) {
  EXPECT_FALSE(player.RemoveHead());
  EXPECT_EQ(player.QueuedBeats(), 0);
  EXPECT_TRUE(player.NewNodePending());
  ExpectConsistent(player.SnapshotQueue());
}

TEST_F(BeatQueueTest, RemovingTheOnlyBeatEmptiesTheQueueForTheNextOne) {
  player.BeginBeat();
  player.AddNote(38, 100, 1);
  EXPECT_TRUE(player.RemoveHead());
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);  // head and tail both null with count 0
  EXPECT_TRUE(q.beats.empty());
  player.BeginBeat();
  player.AddNote(50, 60, 2);
  q = player.SnapshotQueue();
  ExpectConsistent(q);  // the new beat is head and tail at once
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(Entries(q.beats[0]), (std::vector<std::pair<int, int>>{{50, 60}}));
}

TEST_F(BeatQueueTest, ClearQueueEmptiesAndKeepsTheOpenBeatFlag) {
  EXPECT_TRUE(player.ClearQueue());  // already empty: still done
  EXPECT_TRUE(player.NewNodePending());

  player.BeginBeat();
  player.AddNote(38, 100, 1);
  player.BeginBeat();
  player.AddNote(42, 100, 1);
  ASSERT_FALSE(player.NewNodePending());
  EXPECT_TRUE(player.ClearQueue());
  EXPECT_EQ(player.QueuedBeats(), 0);
  ExpectConsistent(player.SnapshotQueue());
  EXPECT_FALSE(player.NewNodePending());  // left as it was

  player.BeginBeat();
  EXPECT_TRUE(player.ClearQueue());
  EXPECT_TRUE(player.NewNodePending());
}

TEST_F(BeatQueueTest, RemoveHeadRelinksTheSecondBeatAsHead) {
  player.BeginBeat();
  player.AddNote(38, 100, 1);
  player.BeginBeat();
  player.AddNote(42, 100, 2);
  EXPECT_TRUE(player.RemoveHead());
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(q.beats[0].olderIndex, -1);
  EXPECT_EQ(q.beats[0].entries[0].note, 42);

  player.BeginBeat();
  player.AddNote(46, 100, 3);
  q = player.SnapshotQueue();
  ExpectConsistent(q);  // the new beat's older is the second beat, whose newer is the new beat
  ASSERT_EQ(q.beats.size(), 2u);
  EXPECT_EQ(q.beats[1].entries[0].note, 46);
}

TEST_F(BeatQueueTest, FifoOrderOverManyBeats) {
  for (int i = 0; i < 20; ++i) {
    player.BeginBeat();
    player.AddNote(35 + i, i, i % 9);
  }
  for (int i = 0; i < 15; ++i) ASSERT_TRUE(player.RemoveHead());
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(q.beats[i].entries[0].note, 35 + 15 + i);
}

TEST_F(BeatQueueTest, TenthEntryIsRefusedAndNothingIsWrittenPastTheBeat) {
  player.BeginBeat();
  for (int i = 0; i < kMaxBeatEntries; ++i) EXPECT_TRUE(player.AddNote(35 + i, 100, 1));
  EXPECT_FALSE(player.AddNote(80, 100, 1));
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(q.beats[0].entries.size(), 9u);
  EXPECT_EQ(q.beats[0].entries.back().note, 43);
}

TEST_F(BeatQueueTest, EntryWithNoOpenBeatOpensOneInsteadOfBeingLost) {
  player.BeginBeat();
  player.AddNote(38, 100, 4);
  ASSERT_TRUE(player.RemoveHead());  // the open beat is gone, no BeginBeat since
  EXPECT_TRUE(player.AddNote(42, 80, 6));
  auto q = player.SnapshotQueue();
  ExpectConsistent(q);
  ASSERT_EQ(q.beats.size(), 1u);
  EXPECT_EQ(Entries(q.beats[0]), (std::vector<std::pair<int, int>>{{42, 80}}));
  EXPECT_EQ(q.beats[0].blinkFrame, 6);
}

TEST(BeatQueuePrepareTest, SoundingEntriesAreAnnouncedToTheDevice) {
  PlayerRig rig;  // with a device
  rig.player->BeginBeat();
  rig.player->AddNote(38, 100, 1);
  rig.player->AddNote(-1, 0, 0);
  rig.player->AddNote(42, 64, 0);
  std::vector<std::pair<int, int>> prepared;
  for (const auto& call : rig.midi.Calls())
    if (call.op == RecordingMidiOut::Op::kPrepare) prepared.emplace_back(call.note, call.velocity);
  EXPECT_EQ(prepared, (std::vector<std::pair<int, int>>{{38, 100}, {42, 64}}));
  EXPECT_EQ(rig.midi.Count(RecordingMidiOut::Op::kShortMsg), 0);  // never resumed
}

}  // namespace
}  // namespace ticktavo::testing
