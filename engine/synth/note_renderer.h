#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ticktavo {

// One note's sound as the default device's synthesizer plays it, from the note-on to the end of
// its tail, at the device's sample rate.
struct NoteSound {
  std::vector<float> left;
  std::vector<float> right;
  std::size_t Frames() const { return left.size(); }
};

// The rate the default device renders at unless its audio output runs at another.
inline constexpr int kDefaultSampleRate = 48000;

// Longest sound kept for one note: 4 s. Percussion tails (crash cymbals, open triangle) end
// before that; anything longer is cut with a short fade instead of being kept forever.
inline constexpr double kMaxSoundSeconds = 4.0;

// An offline synthesizer with exactly the settings and soundfont of the live one: renders single
// notes as fast as the processor allows, without any audio output. Not thread-safe: one thread
// uses one renderer.
class NoteRenderer {
 public:
  explicit NoteRenderer(const std::string& soundfont, double sampleRate = kDefaultSampleRate);
  ~NoteRenderer();
  NoteRenderer(const NoteRenderer&) = delete;
  NoteRenderer& operator=(const NoteRenderer&) = delete;

  // False when the synthesizer could not be created or the soundfont not loaded.
  bool Ok() const;

  double SampleRate() const { return m_sampleRate; }
  // Frames in kMaxSoundSeconds at this renderer's rate.
  std::size_t MaxSoundFrames() const;

  // Renders a note-on on the percussion channel at frame 0 until every voice has ended (or
  // maxFrames, MaxSoundFrames() when 0, where the sound is faded out). Returns an empty sound
  // when the renderer is not Ok or the note makes no sound at all.
  NoteSound Render(int note, int velocity, std::size_t maxFrames = 0);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
  double m_sampleRate;
};

}  // namespace ticktavo
