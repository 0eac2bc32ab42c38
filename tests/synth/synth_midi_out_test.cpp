#include "engine/synth/synth_midi_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/synth/note_renderer.h"
#include "engine/synth/soundfont_path.h"

namespace ticktavo {
namespace {

float Peak(const NoteSound& sound) {
  float peak = 0.0f;
  for (std::size_t i = 0; i < sound.Frames(); ++i) {
    peak = std::max({peak, std::fabs(sound.left[i]), std::fabs(sound.right[i])});
  }
  return peak;
}

TEST(SynthMidiOut, NoSoundfontMeansNoDevice) {
  auto device = CreateSynthMidiOut("/nonexistent/ticktavo.sf2");
  EXPECT_EQ(device->GetNumDevs(), 0u);
  EXPECT_NE(device->Open(), kMidiOk);
  EXPECT_NE(device->ShortMsg(NoteOnMessage(76, 127)), kMidiOk);
}

class SynthOutputs : public ::testing::TestWithParam<SynthOutput> {};

TEST_P(SynthOutputs, AudioOutputThatCannotStartIsNoDevice) {
  SynthOptions options;
  options.soundfont = kSystemSoundfont;
  options.output = GetParam();
  options.drivers = {"no-such-audio-driver"};
  auto device = CreateSynthDevice(options);
  EXPECT_EQ(device->GetNumDevs(), 1u);
  EXPECT_EQ(device->Open(), kMidiNoDevice);
  // Not open: sends fail instead of reaching a synthesizer that is not there.
  EXPECT_NE(device->ShortMsg(NoteOnMessage(76, 127)), kMidiOk);
  EXPECT_NE(device->Close(), kMidiOk);
  EXPECT_EQ(device->Stats().driver, "");
}

INSTANTIATE_TEST_SUITE_P(Outputs, SynthOutputs,
                         ::testing::Values(SynthOutput::kExactFrame, SynthOutput::kFluidDriver));

TEST(SynthMidiOut, UnloadableSoundfontIsAnInitialisationError) {
  // A readable file that is no soundfont: found, so there is a device, but it cannot open.
  SynthOptions options;
  options.soundfont = "/etc/hostname";
  options.drivers = {"no-such-audio-driver"};
  auto device = CreateSynthDevice(options);
  EXPECT_EQ(device->GetNumDevs(), 1u);
  EXPECT_EQ(device->Open(), kMidiError);
}

TEST(NoteRenderer, NoteOnRendersSound) {
  NoteRenderer renderer(kSystemSoundfont);
  ASSERT_TRUE(renderer.Ok());
  // 76 is the high wood block, the metronome's usual click.
  NoteSound sound = renderer.Render(76, 100);
  ASSERT_GT(sound.Frames(), 0u);
  EXPECT_GT(Peak(sound), 0.01f);
  // A percussion hit ends by itself well within the 4 s limit.
  EXPECT_LT(sound.Frames(), renderer.MaxSoundFrames());
  // Velocity 0 is a note-off: nothing sounds.
  EXPECT_EQ(renderer.Render(76, 0).Frames(), 0u);
}

TEST(NoteRenderer, LoudestPercussionDoesNotClip) {
  NoteRenderer renderer(kSystemSoundfont);
  ASSERT_TRUE(renderer.Ok());
  // Every General MIDI percussion key, 35 (acoustic bass drum) to 81 (open triangle).
  for (int note = 35; note <= 81; ++note) {
    NoteSound sound = renderer.Render(note, 127);
    EXPECT_LT(Peak(sound), 1.0f) << "note " << note;
  }
}

TEST(NoteRenderer, SameNoteRendersTheSameSoundTwice) {
  // The cache relies on a note's sound not depending on what was rendered before. FluidSynth
  // ramps a voice's gain over its first 64-frame block from whatever the reused voice last had,
  // so only that first block may differ.
  NoteRenderer renderer(kSystemSoundfont);
  ASSERT_TRUE(renderer.Ok());
  NoteSound first = renderer.Render(76, 90);
  renderer.Render(49, 127);  // a long crash cymbal in between, cut at the length limit
  NoteSound second = renderer.Render(76, 90);
  ASSERT_EQ(first.Frames(), second.Frames());
  ASSERT_GT(first.Frames(), 64u);
  for (std::size_t i = 64; i < first.Frames(); ++i) {
    ASSERT_EQ(first.left[i], second.left[i]) << "frame " << i;
    ASSERT_EQ(first.right[i], second.right[i]) << "frame " << i;
  }
}

}  // namespace
}  // namespace ticktavo
