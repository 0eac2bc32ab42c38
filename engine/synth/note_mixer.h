#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <utility>

#include "engine/synth/note_renderer.h"

namespace ticktavo {

// A pre-rendered sound as the mixer plays it. `users` counts the voices playing it, so that
// whoever owns the sound (the sound cache) frees it only when no voice reads it any more.
struct MixerSound {
  MixerSound() = default;
  explicit MixerSound(NoteSound s) : sound(std::move(s)) {}

  NoteSound sound;
  std::atomic<int> users{0};
};

// The mute group of a General MIDI percussion note, 0 for none: the notes that cut each other
// off, as a synthesizer's exclusive classes make them. Whoever starts a note's sound on the mixer
// passes its group, so that the live device and an exported click track cut alike.
int MuteGroup(int note);

// Plays pre-rendered sounds at exact frames of the stream. A sound scheduled for frame F has its
// first sample at F whatever the size and the boundaries of the blocks the stream is rendered
// in; sounds that overlap add up. Audio callback thread only: no allocation, no locks.
class NoteMixer {
 public:
  static constexpr int kMaxVoices = 64;
  // Length of the fade-out on reset: 3 ms at 48 kHz, short enough to stop a ringing cymbal at
  // once, long enough not to click.
  static constexpr int kFadeFrames = 144;

  NoteMixer() = default;
  ~NoteMixer();
  NoteMixer(const NoteMixer&) = delete;
  NoteMixer& operator=(const NoteMixer&) = delete;

  // Schedules `sound` to start at stream frame `startFrame`. A frame already rendered means the
  // sound starts with the next block. When every voice is taken, the voice that started first is
  // given up for the new sound (counted in StolenVoices()). A `muteGroup` other than 0 cuts the
  // voices of the same group that started before: they fade out from `startFrame` on, as a
  // closed hi-hat stops an open one.
  void Start(MixerSound* sound, std::int64_t startFrame, int muteGroup = 0);

  // Adds the stream's frames [blockStart, blockStart + frames) of every voice to left and right.
  void Render(std::int64_t blockStart, int frames, float* left, float* right);

  // Fades every sounding voice out over kFadeFrames from `frame` on and drops the voices that
  // have not started by then.
  void FadeOut(std::int64_t frame);

  int ActiveVoices() const { return m_active; }
  std::uint64_t StolenVoices() const { return m_stolen; }

 private:
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

  struct Voice {
    MixerSound* sound = nullptr;
    std::int64_t start = 0;
    std::int64_t fadeStart = kNever;
    int muteGroup = 0;
  };

  void Release(Voice& voice);

  std::array<Voice, kMaxVoices> m_voices{};
  std::int64_t m_renderedTo = std::numeric_limits<std::int64_t>::min();
  int m_active = 0;
  std::uint64_t m_stolen = 0;
};

}  // namespace ticktavo
