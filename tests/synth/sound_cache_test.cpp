#include "engine/synth/sound_cache.h"

#include <gtest/gtest.h>

#include "engine/synth/note_mixer.h"
#include "engine/synth/note_renderer.h"
#include "engine/synth/soundfont_path.h"

namespace ticktavo {
namespace {

// The audio callback's side of the cache, run on the test's thread.
MixerSound* FindInCallback(SoundCache& cache, int note, int velocity) {
  cache.EnterCallback();
  MixerSound* sound = cache.Find(note, velocity);
  cache.LeaveCallback();
  return sound;
}

TEST(SoundCache, RendersWhatWasAskedFor) {
  SoundCache cache(kSystemSoundfont);
  EXPECT_EQ(FindInCallback(cache, 76, 100), nullptr);  // not asked for yet
  cache.Request(76, 100);
  cache.WaitUntilIdle();
  MixerSound* sound = FindInCallback(cache, 76, 100);
  ASSERT_NE(sound, nullptr);
  // The same sound as the offline synthesizer makes of it.
  NoteRenderer renderer(kSystemSoundfont);
  NoteSound expected = renderer.Render(76, 100);
  ASSERT_EQ(sound->sound.Frames(), expected.Frames());
  for (std::size_t i = 0; i < expected.Frames(); ++i) {
    ASSERT_EQ(sound->sound.left[i], expected.left[i]) << i;
  }
  // Another velocity is another sound.
  EXPECT_EQ(FindInCallback(cache, 76, 101), nullptr);
  // Asking again renders nothing new.
  cache.Request(76, 100);
  cache.WaitUntilIdle();
  EXPECT_EQ(cache.Renders(), 1u);
}

TEST(SoundCache, IgnoresWhatIsNoNote) {
  SoundCache cache(kSystemSoundfont);
  cache.Request(76, 0);  // velocity 0 is a note-off
  cache.Request(-1, 100);
  cache.Request(128, 100);
  cache.Request(60, 128);
  cache.WaitUntilIdle();
  EXPECT_EQ(cache.Size(), 0u);
  EXPECT_EQ(FindInCallback(cache, -1, 100), nullptr);
  EXPECT_EQ(FindInCallback(cache, 76, 200), nullptr);
}

TEST(SoundCache, KeepsTheMostRecentlyWantedWithinItsBound) {
  SoundCache cache(kSystemSoundfont, SoundCache::Limits{.maxSounds = 3});
  for (int velocity : {10, 20, 30}) cache.Request(76, velocity);
  cache.WaitUntilIdle();
  cache.Request(76, 10);  // wanted again: now 20 is the least recently wanted
  cache.Request(76, 40);
  cache.WaitUntilIdle();
  EXPECT_EQ(cache.Size(), 3u);
  EXPECT_NE(FindInCallback(cache, 76, 10), nullptr);
  EXPECT_EQ(FindInCallback(cache, 76, 20), nullptr);
  EXPECT_NE(FindInCallback(cache, 76, 30), nullptr);
  EXPECT_NE(FindInCallback(cache, 76, 40), nullptr);
}

TEST(SoundCache, ByteBoundAlsoLimits) {
  // Room for about one wood block (5228 frames, 41,824 bytes at two floats a frame).
  SoundCache cache(kSystemSoundfont, SoundCache::Limits{.maxSounds = 64, .maxBytes = 50'000});
  cache.Request(76, 100);
  cache.WaitUntilIdle();
  cache.Request(76, 101);
  cache.WaitUntilIdle();
  EXPECT_EQ(cache.Size(), 1u);
  EXPECT_NE(FindInCallback(cache, 76, 101), nullptr);
}

TEST(SoundCache, SoundStillPlayingIsFreedOnlyWhenItEnds) {
  SoundCache cache(kSystemSoundfont, SoundCache::Limits{.maxSounds = 1});
  cache.Request(76, 100);
  cache.WaitUntilIdle();
  NoteMixer mixer;
  mixer.Start(FindInCallback(cache, 76, 100), 0);
  cache.Request(77, 100);  // pushes 76 out while a voice plays it
  cache.WaitUntilIdle();
  EXPECT_EQ(FindInCallback(cache, 76, 100), nullptr);
  EXPECT_EQ(cache.RetiredCount(), 1u);
  // The voice plays on from the removed sound (AddressSanitizer would catch a freed read).
  std::vector<float> left(8192, 0.0f), right(8192, 0.0f);
  mixer.Render(0, 8192, left.data(), right.data());  // longer than the sound: the voice ends
  EXPECT_EQ(mixer.ActiveVoices(), 0);
  // Any work wakes the worker, which first frees what nobody can reach or plays: 76 now. Then
  // 78 pushes 77 out, which waits for the next wake. Had 76 been kept, two would be waiting.
  cache.Request(78, 100);
  cache.WaitUntilIdle();
  EXPECT_EQ(cache.RetiredCount(), 1u);
}

TEST(SoundCache, SoundRemovedDuringACallbackOutlivesThatCallback) {
  // The callback may have looked a sound up just before the worker removed it; it is freed only
  // after that callback has left, even though no voice plays it.
  SoundCache cache(kSystemSoundfont, SoundCache::Limits{.maxSounds = 1});
  cache.Request(76, 100);
  cache.WaitUntilIdle();
  cache.EnterCallback();
  MixerSound* found = cache.Find(76, 100);
  ASSERT_NE(found, nullptr);
  cache.Request(77, 100);
  cache.WaitUntilIdle();
  cache.Request(78, 100);  // a second wake of the worker while the callback is still inside
  cache.WaitUntilIdle();
  // Still readable: the callback is inside.
  EXPECT_GT(found->sound.Frames(), 0u);
  EXPECT_EQ(cache.RetiredCount(), 2u);  // 76 (callback inside) and 77 (removed while inside)
  cache.LeaveCallback();
  cache.Request(79, 100);
  cache.WaitUntilIdle();
  // 76 and 77 are free now; only 78, removed for 79 after the callback left, waits for the
  // worker's next look.
  EXPECT_EQ(cache.RetiredCount(), 1u);
}

}  // namespace
}  // namespace ticktavo
