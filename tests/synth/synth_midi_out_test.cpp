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

TEST(NoteRenderer, ANotesSoundDoesNotDependOnWhatWasRenderedBefore) {
  // The live device's cache and the click-track export render their sounds in different
  // orders; both must get the same samples for a note, from its very first frame.
  NoteRenderer fresh(kSystemSoundfont);
  ASSERT_TRUE(fresh.Ok());
  const NoteSound expected = fresh.Render(76, 90);
  ASSERT_GT(expected.Frames(), 64u);
  NoteRenderer used(kSystemSoundfont);
  for (int before : {49, 36, 76}) {  // a crash cymbal cut at the length limit, a drum, itself
    used.Render(before, 127);
    const NoteSound again = used.Render(76, 90);
    ASSERT_EQ(again.Frames(), expected.Frames()) << "after " << before;
    for (std::size_t i = 0; i < expected.Frames(); ++i) {
      ASSERT_EQ(again.left[i], expected.left[i]) << "after " << before << ", frame " << i;
      ASSERT_EQ(again.right[i], expected.right[i]) << "after " << before << ", frame " << i;
    }
  }
}

}  // namespace
}  // namespace ticktavo
