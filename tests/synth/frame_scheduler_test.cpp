#include "engine/synth/frame_scheduler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/midi_out.h"
#include "engine/synth/soundfont_path.h"

namespace ticktavo {
namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr std::int64_t kT0 = 5'000'000'000;  // CLOCK_MONOTONIC at the stream's first callback

// Stands in for FluidSynth: records what it is sent and plays a constant 0.5 on both channels
// from its first note until it is silenced, so its share of the output is easy to see.
class FakeLive : public LiveSynth {
 public:
  void Send(std::uint32_t message) override {
    sent.push_back({message, currentBlockStart});
    sounding = true;
  }
  void Render(int frames, float* left, float* right) override {
    if (!sounding) return;
    for (int i = 0; i < frames; ++i) left[i] += 0.5f, right[i] += 0.5f;
  }
  void Silence() override { sounding = false; }

  struct Sent {
    std::uint32_t message;
    std::int64_t blockStart;
  };
  std::vector<Sent> sent;
  std::int64_t currentBlockStart = 0;
  bool sounding = false;
};

// Runs a stream of 256-frame callbacks entering exactly when their first frame is due (an ideal
// sound card at 48 kHz), and posts each message just before the first callback after its stamp,
// as the timing thread would. Records the left channel.
class StreamRig {
 public:
  StreamRig(SoundCache& soundCache, std::int64_t latencyNs)
      : cache(soundCache), scheduler(soundCache, live, kRate, latencyNs) {}

  enum class Kind { kSend, kReset, kPrepare };
  struct Message {
    std::int64_t stampNs;
    std::uint32_t message;
    Kind kind = Kind::kSend;
    std::int64_t lateNs = 0;  // a send this long after its stamp (a late wake-up)
  };

  void Run(std::int64_t totalFrames, std::vector<Message> messages) {
    std::size_t next = 0;
    for (std::int64_t frame = 0; frame < totalFrames; frame += kBlock) {
      const std::int64_t now = kT0 + frame * 1'000'000'000 / static_cast<std::int64_t>(kRate);
      while (next < messages.size() && messages[next].stampNs + messages[next].lateNs <= now) {
        if (messages[next].kind == Kind::kReset) {
          scheduler.RequestReset(messages[next].stampNs);
        } else if (messages[next].kind == Kind::kPrepare) {
          // The worker renders it while the stream waits: a render that finishes between two
          // callbacks.
          cache.Request((messages[next].message >> 8) & 0x7f,
                        (messages[next].message >> 16) & 0x7f);
          cache.WaitUntilIdle();
        } else {
          EXPECT_TRUE(scheduler.Post(messages[next].stampNs, messages[next].message));
        }
        ++next;
      }
      std::vector<float> left(kBlock, 0.0f), right(kBlock, 0.0f);
      live.currentBlockStart = frame;
      scheduler.Process(now, kBlock, left.data(), right.data());
      output.insert(output.end(), left.begin(), left.end());
    }
  }

  SoundCache& cache;
  FakeLive live;
  FrameScheduler scheduler;
  std::vector<float> output;
};

std::int64_t FirstNonZero(const std::vector<float>& v, std::int64_t from) {
  for (auto i = static_cast<std::size_t>(from); i < v.size(); ++i) {
    if (v[i] != 0.0f) return static_cast<std::int64_t>(i);
  }
  return -1;
}

std::int64_t Ms(double ms) {
  return static_cast<std::int64_t>(ms * 1e6);
}

class FrameSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache.Request(76, 127);
    cache.WaitUntilIdle();
    MixerSound* sound = cache.Find(76, 127);
    ASSERT_NE(sound, nullptr);
    clickLength = static_cast<std::int64_t>(sound->sound.Frames());
    clickLead = FirstNonZero(sound->sound.left, 0);
    ASSERT_GE(clickLead, 0);
  }

  SoundCache cache{kSystemSoundfont};
  std::int64_t clickLength = 0;
  std::int64_t clickLead = 0;
};

TEST_F(FrameSchedulerTest, NotesSoundOnTheFrameOfTheirStampPlusLatency) {
  // Stamps 100.01 ms + k * 250 ms after the first callback, latency 20 ms: the stream's frame
  // for 120.01 ms is 120.01 * 48 = 5760.48, rounded 5760; each next one 250 * 48 = 12000
  // frames later. None of them is on a callback's boundary.
  StreamRig rig(cache, Ms(20));
  std::vector<StreamRig::Message> messages;
  for (int k = 0; k < 6; ++k) {
    messages.push_back({kT0 + Ms(100.01 + 250.0 * k), NoteOnMessage(76, 127)});
  }
  rig.Run(6 * 12000 + 12000, messages);
  std::int64_t from = 0;
  for (int k = 0; k < 6; ++k) {
    const std::int64_t expected = 5760 + 12000 * k + clickLead;
    EXPECT_EQ(FirstNonZero(rig.output, from), expected) << "beat " << k;
    from = expected + clickLength;
  }
  SchedulerStats stats = rig.scheduler.Stats();
  EXPECT_EQ(stats.events, 6u);
  EXPECT_EQ(stats.late, 0u);
  EXPECT_EQ(stats.fallbacks, 0u);
  EXPECT_TRUE(rig.live.sent.empty());
}

TEST_F(FrameSchedulerTest, LateSendKeepsTheFrameOfItsStamp) {
  // The note belongs at 100.01 ms (frame 5760 with 20 ms latency), callbacks come every
  // 5.333 ms. Sent on time it is taken by the callback at 101.33 ms. Sent 12 ms late it is taken
  // by the callback at 117.33 ms, which renders frames 5632 to 5887: still in time for 5760.
  // Sent 18 ms late it is taken at 122.67 ms, after frame 5760 was rendered: it is late and
  // starts with that callback's block, at 5888.
  struct Case {
    double lateMs;
    std::int64_t frame;
    std::uint64_t late;
  };
  for (const Case& c :
       {Case{0.0, 5760, 0}, Case{3.0, 5760, 0}, Case{12.0, 5760, 0}, Case{18.0, 5888, 1}}) {
    StreamRig rig(cache, Ms(20));
    rig.Run(12000,
            {{kT0 + Ms(100.01), NoteOnMessage(76, 127), StreamRig::Kind::kSend, Ms(c.lateMs)}});
    EXPECT_EQ(FirstNonZero(rig.output, 0), c.frame + clickLead) << c.lateMs << " ms late";
    EXPECT_EQ(rig.scheduler.Stats().late, c.late) << c.lateMs << " ms late";
  }
}

TEST_F(FrameSchedulerTest, RestartedStreamPlacesNotesByItsNewTiming) {
  // The stream pauses after frame 2560 (10 callbacks) and resumes 2 s later. Restart makes the
  // first callback after the pause seed the clock loop there: a note stamped 10 ms after the
  // stream resumed sounds 10 + 20 ms after it, 1440 frames into the resumed stream.
  StreamRig rig(cache, Ms(20));
  rig.Run(2560, {});
  rig.scheduler.Restart();
  const std::int64_t resumeNs = kT0 + Ms(2000);
  std::vector<float> left(kBlock), right(kBlock);
  for (std::int64_t frame = 2560; frame < 2560 + 4096; frame += kBlock) {
    const std::int64_t now = resumeNs + (frame - 2560) * 1'000'000'000 / 48000;
    if (frame == 2560 + 2 * kBlock) {
      EXPECT_TRUE(rig.scheduler.Post(resumeNs + Ms(10), NoteOnMessage(76, 127)));
    }
    std::fill(left.begin(), left.end(), 0.0f);
    rig.scheduler.Process(now, kBlock, left.data(), right.data());
    rig.output.insert(rig.output.end(), left.begin(), left.end());
  }
  EXPECT_EQ(FirstNonZero(rig.output, 0), 2560 + 1440 + clickLead);
  EXPECT_EQ(rig.scheduler.Stats().reseeds, 0u) << "a pause is no stall";
}

TEST_F(FrameSchedulerTest, LatencyShorterThanAPeriodMakesLateEvents) {
  // Latency 1 ms, callbacks every 5.33 ms: a message stamped 1 ms after a callback belongs to
  // frame 96 of that callback's block, which is already rendered when the next callback takes
  // the message. It is counted late and starts with the next block (frame 256).
  StreamRig rig(cache, Ms(1));
  rig.Run(4096, {{kT0 + Ms(1), NoteOnMessage(76, 127)}});
  EXPECT_EQ(rig.scheduler.Stats().late, 1u);
  EXPECT_EQ(FirstNonZero(rig.output, 0), 256 + clickLead);
}

TEST_F(FrameSchedulerTest, LatencyCoversThePeriodTheDriverUses) {
  // Asked for 1 ms but with a floor of 1.5 periods + 2 ms: the first callback asks for 256
  // frames (5.333 ms), so the latency becomes 8 + 2 = 10 ms. The note stamped at 1 ms then
  // belongs at 11 ms = frame 528 and is on time.
  StreamRig rig(cache, Ms(1));
  rig.scheduler.SetLatencyFloor(1.5, Ms(2));
  rig.Run(4096, {{kT0 + Ms(1), NoteOnMessage(76, 127)}});
  EXPECT_EQ(rig.scheduler.LatencyNs(), Ms(10));
  EXPECT_EQ(rig.scheduler.Stats().late, 0u);
  EXPECT_EQ(FirstNonZero(rig.output, 0), 528 + clickLead);
}

TEST_F(FrameSchedulerTest, SoundNotReadyIsPlayedLiveAndCounted) {
  // 77 was never prepared: the live synthesizer plays it in the block that holds its frame
  // (stamp 10 ms + latency 20 ms = frame 1440, in the block starting at 1280).
  StreamRig rig(cache, Ms(20));
  rig.Run(4096, {{kT0 + Ms(10), NoteOnMessage(77, 100)}});
  SchedulerStats stats = rig.scheduler.Stats();
  EXPECT_EQ(stats.fallbacks, 1u);
  ASSERT_EQ(rig.live.sent.size(), 1u);
  EXPECT_EQ(rig.live.sent[0].message, NoteOnMessage(77, 100));
  EXPECT_EQ(rig.live.sent[0].blockStart, 1280);
}

TEST_F(FrameSchedulerTest, SoundReadyByItsFrameIsMixedExactly) {
  // The note is sent before its sound exists (as the first beat after Play may be), but the
  // sound is ready 10 ms later, before the note's frame (stamp 0 + 20 ms latency = frame 960):
  // no fallback, and the onset is exact.
  StreamRig rig(cache, Ms(20));
  rig.Run(4096, {{kT0, NoteOnMessage(77, 90)},
                 {kT0 + Ms(10), NoteOnMessage(77, 90), StreamRig::Kind::kPrepare}});
  EXPECT_EQ(rig.scheduler.Stats().fallbacks, 0u);
  EXPECT_TRUE(rig.live.sent.empty());
  MixerSound* sound = cache.Find(77, 90);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(FirstNonZero(rig.output, 0), 960 + FirstNonZero(sound->sound.left, 0));
}

TEST_F(FrameSchedulerTest, OtherMessagesGoToTheLiveSynthesizer) {
  const std::uint32_t volume = 0xb9 | (7u << 8) | (100u << 16);  // channel 10 volume 100
  StreamRig rig(cache, Ms(20));
  rig.Run(4096, {{kT0 + Ms(1), volume}});
  ASSERT_EQ(rig.live.sent.size(), 1u);
  EXPECT_EQ(rig.live.sent[0].message, volume);
  EXPECT_EQ(rig.scheduler.Stats().fallbacks, 0u);
}

TEST_F(FrameSchedulerTest, ResetFadesWhatSoundsAndDropsWhatHasNot) {
  // A click stamped at 0 (frame 960 with 20 ms latency) sounds; a live note (not prepared)
  // sounds from the block of frame 1920; another click stamped at 30 ms (frame 2400) is still
  // pending when the reset comes at 45 ms, before the callback at frame 2304 (48 ms). The
  // reset is taken by that callback: from 2304 on everything fades within 144 frames, and the
  // pending click never sounds.
  StreamRig rig(cache, Ms(20));
  rig.Run(12000, {{kT0, NoteOnMessage(76, 127)},
                  {kT0 + Ms(20), NoteOnMessage(77, 100)},
                  {kT0 + Ms(30), NoteOnMessage(76, 127)},
                  {kT0 + Ms(45), 0, StreamRig::Kind::kReset}});
  ASSERT_GT(clickLength, 2304 - 960);  // the first click is still sounding at the reset
  EXPECT_NE(rig.output[2303], 0.0f);
  for (std::size_t f = 2304 + NoteMixer::kFadeFrames; f < rig.output.size(); ++f) {
    ASSERT_EQ(rig.output[f], 0.0f) << "frame " << f;
  }
  SchedulerStats stats = rig.scheduler.Stats();
  EXPECT_EQ(stats.fallbacks, 1u);
  EXPECT_FALSE(rig.live.sounding);
}

TEST_F(FrameSchedulerTest, MessagesAfterAResetPlay) {
  // Stop then play again: the note stamped after the reset sounds normally.
  StreamRig rig(cache, Ms(20));
  rig.Run(12000,
          {{kT0 + Ms(10), 0, StreamRig::Kind::kReset}, {kT0 + Ms(50), NoteOnMessage(76, 127)}});
  EXPECT_EQ(FirstNonZero(rig.output, 0), 70 * 48 + clickLead);
  EXPECT_EQ(rig.scheduler.Stats().dropped, 0u);
}

}  // namespace
}  // namespace ticktavo
