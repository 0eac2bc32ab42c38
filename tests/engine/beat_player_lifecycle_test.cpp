// Building and destroying the player: the device errors, the tempo arithmetic and the three
// kinds of shutdown.
#include <gtest/gtest.h>

#include "player_rig.h"

namespace ticktavo::testing {
namespace {

using Op = RecordingMidiOut::Op;
using Kind = RecordingOwner::Kind;

std::vector<Op> Ops(const RecordingMidiOut& midi) {
  std::vector<Op> ops;
  for (const auto& call : midi.Calls())
    if (call.op != Op::kPrepare) ops.push_back(call.op);
  return ops;
}

TEST(BeatPlayerConstructionTest, NoDeviceIsReportedAndNothingIsOpened) {
  auto rig = std::make_unique<PlayerRig>(/*numDevs=*/0);
  EXPECT_EQ(rig->owner.Errors(),
            std::vector<std::string>{
                "Can't find a MIDI device!  Are your sound card and driver properly installed?"});
  EXPECT_FALSE(rig->player->DeviceOpen());
  EXPECT_FALSE(rig->player->HasThread());
  EXPECT_TRUE(rig->player->ThreadFinished());
  EXPECT_TRUE(rig->player->WaitUntilHeld(kPatience));  // nothing to wait for

  // The player stays usable: the flags move and Play queues two beats that never sound.
  rig->Start(120, 100);
  EXPECT_TRUE(rig->player->Running());
  EXPECT_EQ(rig->player->QueuedBeats(), 2);
  EXPECT_FALSE(rig->player->Stop());
  EXPECT_FALSE(rig->player->Running());
  EXPECT_EQ(rig->player->QueuedBeats(), 0);

  EXPECT_TRUE(Ops(rig->midi).empty());  // no open, no reset of a device that is not open
}

TEST(BeatPlayerConstructionTest, ShutdownWithoutDeviceClosesNothing) {
  RecordingMidiOut midi(0);
  RecordingOwner owner;
  FakeClock clock;
  { BeatPlayer player(owner, clock, midi, TimingPriority::kNormal); }
  EXPECT_TRUE(Ops(midi).empty());
  EXPECT_EQ(owner.Errors().size(), 1u);
}

struct OpenErrorCase {
  MidiResult result;
  const char* message;
};

class OpenErrorTest : public ::testing::TestWithParam<OpenErrorCase> {};

TEST_P(OpenErrorTest, EachOpenResultHasItsMessageAndLeavesNoThread) {
  const OpenErrorCase& c = GetParam();
  RecordingMidiOut midi;
  midi.SetOpenResult(c.result);
  RecordingOwner owner;
  FakeClock clock;
  {
    BeatPlayer player(owner, clock, midi, TimingPriority::kNormal);
    EXPECT_FALSE(player.DeviceOpen());
    EXPECT_FALSE(player.HasThread());
    EXPECT_TRUE(player.ThreadFinished());
    EXPECT_FALSE(player.Running());
    EXPECT_TRUE(player.ResyncPending());
  }
  EXPECT_EQ(owner.Errors(), std::vector<std::string>{c.message});
  EXPECT_EQ(Ops(midi), std::vector<Op>{Op::kOpen});  // never closed: it never opened
}

// The texts are the program's own, double spaces included; unknown codes are written in
// lower-case hexadecimal without prefix or leading zeros.
INSTANTIATE_TEST_SUITE_P(
    AllResults, OpenErrorTest,
    ::testing::Values(
        OpenErrorCase{1, "Unspecified error while initializing the MIDI device."},
        OpenErrorCase{2,
                      "There is no default MIDI device.  Please report this error to "
                      "support@quelbrand.example."},
        OpenErrorCase{4, "Your default MIDI device is in use."},
        OpenErrorCase{7, "There was a memory error while opening the MIDI device."},
        OpenErrorCase{11,
                      "Invalid parameter passed to midiOutOpen().  Please report this error "
                      "to support@quelbrand.example."},
        OpenErrorCase{68, "I can't find a MIDI device on your computer."},
        OpenErrorCase{3,
                      "Unknown error (3) opening the MIDI device.  Please report this error "
                      "to support@quelbrand.example."},
        OpenErrorCase{0xAB,
                      "Unknown error (ab) opening the MIDI device.  Please report this "
                      "error to support@quelbrand.example."},
        OpenErrorCase{0x7fff0010,
                      "Unknown error (7fff0010) opening the MIDI device.  Please "
                      "report this error to support@quelbrand.example."}));

TEST(BeatPlayerTempoTest, TicksPerBeatIsFrequencyTimesSixtyOverTempoTruncated) {
  struct Case {
    std::int64_t frequency;
    int bpm;
    std::int64_t ticks;
  };
  // frequency × 60 / bpm with the product first: 60,000,000 / 120 = 500,000; / 1000 = 60,000;
  // / 7 = 8,571,428.57 truncated; at 1 GHz 60e9 / 1000 = 60,000,000 (the product needs 64
  // bits); out-of-range tempi count as 4 or 1000.
  const Case cases[] = {
      {1'000'000, 120, 500'000},          {1'000'000, 1000, 60'000},
      {1'000'000, 4, 15'000'000},         {1'000'000, 7, 8'571'428},
      {1'000'000, 60, 1'000'000},         {1'000'000'000, 1000, 60'000'000},
      {1'000'000'000, 4, 15'000'000'000}, {1'000'000, 0, 15'000'000},
      {1'000'000, -30, 15'000'000},       {1'000'000, 5000, 60'000},
  };
  RecordingMidiOut midi(0);
  RecordingOwner owner;
  for (const Case& c : cases) {
    FakeClock clock(c.frequency);
    BeatPlayer player(owner, clock, midi, TimingPriority::kNormal);
    EXPECT_EQ(player.TicksPerBeat(), c.frequency) << "60 beats per minute before any SetTempo";
    player.SetTempo(c.bpm);
    EXPECT_EQ(player.TicksPerBeat(), c.ticks) << c.frequency << " Hz, " << c.bpm << " bpm";
  }
}

TEST(BeatPlayerShutdownTest, PlayerThatNeverRanEndsItsThreadAndClosesTheDevice) {
  RecordingMidiOut midi;
  RecordingOwner owner;
  FakeClock clock;
  {
    BeatPlayer player(owner, clock, midi, TimingPriority::kNormal);
    EXPECT_TRUE(player.DeviceOpen());
    EXPECT_TRUE(player.HasThread());
    EXPECT_FALSE(player.ThreadFinished());
    EXPECT_TRUE(player.WaitUntilHeld(kPatience));  // created held, waiting for Resume
    player.BeginBeat();
    player.AddNote(38, 100, 1);  // queued, never sounded
  }
  EXPECT_EQ(Ops(midi), (std::vector<Op>{Op::kOpen, Op::kClose}));
  EXPECT_TRUE(owner.Errors().empty());
  EXPECT_EQ(clock.ReadCount(), 0);  // the thread never looked at the clock
}

TEST(BeatPlayerShutdownTest, PlayingPlayerStopsAtItsNextCheck) {
  PlayerRig rig;
  rig.Start(1000, /*stopAfter=*/0);  // never stops by itself
  ASSERT_TRUE(rig.midi.WaitForSent(5, kPatience));
  rig.owner.Close();
  rig.player.reset();  // joins the thread; a hang here fails the test by timeout
  auto ops = Ops(rig.midi);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.back(), Op::kClose);
  EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::kClose), 1);
  EXPECT_EQ(std::count(ops.begin(), ops.end(), Op::kReset), 0);
}

TEST(BeatPlayerShutdownTest, PlayerHeldInsideItsNotificationShutsDown) {
  PlayerRig rig;
  rig.owner.CloseGate();
  rig.Start(120, 0);
  ASSERT_TRUE(rig.owner.WaitUntilAtGate(kPatience));
  rig.owner.Close();  // the window goes: the waiting notification returns at once
  rig.player.reset();
  EXPECT_EQ(Ops(rig.midi).back(), Op::kClose);
}

TEST(BeatPlayerShutdownTest, CloseFailureIsReported) {
  RecordingMidiOut midi;
  midi.SetCloseResult(kMidiError);
  RecordingOwner owner;
  FakeClock clock;
  { BeatPlayer player(owner, clock, midi, TimingPriority::kNormal); }
  EXPECT_EQ(owner.Errors(),
            std::vector<std::string>{"There was a problem closing the Midi device."});
}

TEST(BeatPlayerShutdownTest, StoppedPlayerShutsDown) {
  PlayerRig rig;
  rig.Start(240, /*stopAfter=*/3);
  ASSERT_TRUE(rig.WaitHeld());
  rig.player.reset();
  EXPECT_EQ(Ops(rig.midi).back(), Op::kClose);
  EXPECT_EQ(rig.midi.Count(Op::kShortMsg), 3);
}

}  // namespace
}  // namespace ticktavo::testing
