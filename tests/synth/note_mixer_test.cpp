#include "engine/synth/note_mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/synth/soundfont_path.h"

namespace ticktavo {
namespace {

// A sound whose samples are easy to recognise: left = 1, 2, 3, ... (scaled), right = -left.
NoteSound Ramp(std::size_t frames, float scale = 1e-3f) {
  NoteSound s;
  for (std::size_t i = 0; i < frames; ++i) {
    s.left.push_back(scale * static_cast<float>(i + 1));
    s.right.push_back(-scale * static_cast<float>(i + 1));
  }
  return s;
}

NoteSound Constant(std::size_t frames, float value) {
  NoteSound s;
  s.left.assign(frames, value);
  s.right.assign(frames, value);
  return s;
}

// Renders `total` frames of the mixer in blocks of `block` frames, as an audio stream would.
struct Output {
  std::vector<float> left, right;
};
Output RenderStream(NoteMixer& mixer, std::int64_t total, int block, std::int64_t first = 0) {
  Output out;
  out.left.assign(static_cast<std::size_t>(total), 0.0f);
  out.right.assign(static_cast<std::size_t>(total), 0.0f);
  for (std::int64_t f = 0; f < total; f += block) {
    const int n = static_cast<int>(std::min<std::int64_t>(block, total - f));
    mixer.Render(first + f, n, &out.left[static_cast<std::size_t>(f)],
                 &out.right[static_cast<std::size_t>(f)]);
  }
  return out;
}

std::int64_t FirstNonZero(const std::vector<float>& v, std::int64_t from = 0) {
  for (auto i = static_cast<std::size_t>(from); i < v.size(); ++i) {
    if (v[i] != 0.0f) return static_cast<std::int64_t>(i);
  }
  return -1;
}

class MixerBlocks : public ::testing::TestWithParam<int> {};

// Whatever the block size (FluidSynth's 64, common periods, an odd size that puts the onsets at
// every position inside a block), each sound starts on exactly its frame and is copied sample for
// sample.
TEST_P(MixerBlocks, SoundStartsOnItsExactFrame) {
  const int block = GetParam();
  MixerSound ramp(Ramp(50));
  NoteMixer mixer;
  // Onsets on and beside 64-frame boundaries, two pairs overlapping by 49 and 36 frames.
  const std::int64_t onsets[] = {1000, 1001, 1063, 1064, 4097};
  for (std::int64_t onset : onsets) mixer.Start(&ramp, onset);
  Output out = RenderStream(mixer, 6000, block);
  // Expected: at frame f, the sum over the onsets o with o <= f < o + 50 of the ramp's sample
  // f - o, that is (f - o + 1) / 1000.
  for (int f = 0; f < 6000; ++f) {
    float expected = 0.0f;
    for (std::int64_t o : onsets) {
      if (f >= o && f < o + 50) expected += 1e-3f * static_cast<float>(f - o + 1);
    }
    ASSERT_FLOAT_EQ(out.left[f], expected) << "frame " << f;
    ASSERT_FLOAT_EQ(out.right[f], -expected) << "frame " << f;
  }
  EXPECT_EQ(FirstNonZero(out.left), 1000);
  EXPECT_EQ(FirstNonZero(out.left, 1200), 4097);
  EXPECT_EQ(mixer.ActiveVoices(), 0);
  EXPECT_EQ(ramp.users.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, MixerBlocks, ::testing::Values(1, 64, 97, 256, 1024));

TEST(NoteMixer, OverlappingTailsAdd) {
  // Two sounds of 200 frames at 100 and 150: frames 150..299 carry both, sample by sample.
  MixerSound a(Ramp(200));
  MixerSound b(Constant(200, 0.25f));
  NoteMixer mixer;
  mixer.Start(&a, 100);
  mixer.Start(&b, 150);
  Output out = RenderStream(mixer, 512, 128);
  for (int f = 0; f < 512; ++f) {
    float expected = 0.0f;
    if (f >= 100 && f < 300) expected += 1e-3f * static_cast<float>(f - 100 + 1);
    if (f >= 150 && f < 350) expected += 0.25f;
    ASSERT_FLOAT_EQ(out.left[f], expected) << "frame " << f;
  }
}

TEST(NoteMixer, RealNoteOnsetsAtExactFrames) {
  // The wood block rendered offline, mixed at 250 ms intervals (12000 frames at 48 kHz) in
  // 256-frame blocks: the onsets found in the output are exactly 12000 frames apart, and the
  // first is where it was scheduled.
  NoteRenderer renderer(kSystemSoundfont);
  ASSERT_TRUE(renderer.Ok());
  MixerSound click;
  click.sound = renderer.Render(76, 127);
  const std::int64_t lead = FirstNonZero(click.sound.left);
  ASSERT_GE(lead, 0);
  NoteMixer mixer;
  const std::int64_t first = 777;  // not on a block boundary
  for (int k = 0; k < 8; ++k) mixer.Start(&click, first + 12000 * k);
  Output out = RenderStream(mixer, 8 * 12000 + 4000, 256);
  std::int64_t from = 0;
  for (int k = 0; k < 8; ++k) {
    const std::int64_t onset = FirstNonZero(out.left, from);
    EXPECT_EQ(onset, first + 12000 * k + lead) << "beat " << k;
    from = first + 12000 * k + static_cast<std::int64_t>(click.sound.Frames());
  }
}

TEST(NoteMixer, LateStartPlaysFromTheNextBlock) {
  // A sound scheduled for a frame already rendered starts at the next block with its first
  // sample: nothing of the attack is lost.
  MixerSound ramp(Ramp(10));
  NoteMixer mixer;
  Output first = RenderStream(mixer, 256, 256);
  mixer.Start(&ramp, 100);
  std::vector<float> left(256, 0.0f), right(256, 0.0f);
  mixer.Render(256, 256, left.data(), right.data());
  EXPECT_FLOAT_EQ(left[0], 1e-3f);
  EXPECT_FLOAT_EQ(left[9], 1e-2f);
  EXPECT_EQ(left[10], 0.0f);
}

TEST(NoteMixer, FadeOutIsShortAndClickFree) {
  // A full-scale constant sound faded at frame 500: from 500 on the level falls by at most
  // 1/145 per frame (no step a listener hears as a click), reaches zero by 500 + 144 and stays
  // there. A sound scheduled for frame 1000 is dropped.
  MixerSound held(Constant(10000, 1.0f));
  MixerSound later(Constant(100, 1.0f));
  NoteMixer mixer;
  mixer.Start(&held, 0);
  mixer.Start(&later, 1000);
  Output before = RenderStream(mixer, 500, 100);
  EXPECT_FLOAT_EQ(before.left[499], 1.0f);
  mixer.FadeOut(500);
  Output after = RenderStream(mixer, 2000, 100, 500);
  float previous = 1.0f;
  for (int f = 0; f < NoteMixer::kFadeFrames; ++f) {
    EXPECT_LE(previous - after.left[f], 1.0f / 145.0f + 1e-6f) << "frame " << 500 + f;
    EXPECT_LT(after.left[f], previous);
    previous = after.left[f];
  }
  for (int f = NoteMixer::kFadeFrames; f < 2000; ++f) {
    ASSERT_EQ(after.left[f], 0.0f) << "frame " << 500 + f;
  }
  EXPECT_EQ(mixer.ActiveVoices(), 0);
  EXPECT_EQ(held.users.load(), 0);
  EXPECT_EQ(later.users.load(), 0);
}

TEST(NoteMixer, MuteGroupCutsTheEarlierVoiceOnly) {
  // Three held sounds: A (group 1) from 0, B (no group) from 0, C (group 1) from 1000. C fades A
  // out from frame 1000 over 144 frames; B, of no group, rings on under C.
  MixerSound a(Constant(10000, 0.125f));
  MixerSound b(Constant(10000, 0.25f));
  MixerSound c(Constant(10000, 0.5f));
  NoteMixer mixer;
  mixer.Start(&a, 0, 1);
  mixer.Start(&b, 0, 0);
  mixer.Start(&c, 1000, 1);
  Output out = RenderStream(mixer, 6000, 256);
  EXPECT_FLOAT_EQ(out.left[999], 0.375f);                           // A + B
  EXPECT_FLOAT_EQ(out.left[1000 + NoteMixer::kFadeFrames], 0.75f);  // B + C, A gone
  EXPECT_FLOAT_EQ(out.left[5999], 0.75f);
  EXPECT_EQ(a.users.load(), 0);
  EXPECT_EQ(b.users.load(), 1);
  EXPECT_EQ(c.users.load(), 1);
}

TEST(NoteMixer, FullMixerGivesUpTheOldestVoice) {
  std::vector<MixerSound> sounds(NoteMixer::kMaxVoices + 1);
  for (auto& s : sounds) s.sound.left.assign(1000, 0.5f), s.sound.right.assign(1000, 0.5f);
  NoteMixer mixer;
  for (int i = 0; i <= NoteMixer::kMaxVoices; ++i) mixer.Start(&sounds[i], 10 + i);
  EXPECT_EQ(mixer.ActiveVoices(), NoteMixer::kMaxVoices);
  EXPECT_EQ(mixer.StolenVoices(), 1u);
  EXPECT_EQ(sounds[0].users.load(), 0);  // the one that started first
  EXPECT_EQ(sounds[NoteMixer::kMaxVoices].users.load(), 1);
}

TEST(NoteMixer, DestroyingTheMixerReleasesItsSounds) {
  MixerSound s(Constant(100, 0.1f));
  {
    NoteMixer mixer;
    mixer.Start(&s, 0);
    mixer.Start(&s, 50);
    EXPECT_EQ(s.users.load(), 2);
  }
  EXPECT_EQ(s.users.load(), 0);
}

}  // namespace
}  // namespace ticktavo
