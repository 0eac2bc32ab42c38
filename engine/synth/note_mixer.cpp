#include "engine/synth/note_mixer.h"

#include <algorithm>

namespace ticktavo {

// A closed or pedal hi-hat stops an open one, and the short and long whistle, guiro, cuica and
// triangle stop their pair. Each pre-rendered sound rings out on its own, so the mixer has to do
// what the synthesizer's voices would.
int MuteGroup(int note) {
  switch (note) {
    case 42:
    case 44:
    case 46:
      return 1;  // hi-hat: closed, pedal, open
    case 71:
    case 72:
      return 2;  // whistle
    case 73:
    case 74:
      return 3;  // guiro
    case 78:
    case 79:
      return 4;  // cuica
    case 80:
    case 81:
      return 5;  // triangle
    default:
      return 0;
  }
}

NoteMixer::~NoteMixer() {
  for (Voice& voice : m_voices) {
    if (voice.sound != nullptr) Release(voice);
  }
}

void NoteMixer::Release(Voice& voice) {
  voice.sound->users.fetch_sub(1, std::memory_order_release);
  voice = Voice{};
  --m_active;
}

void NoteMixer::Start(MixerSound* sound, std::int64_t startFrame, int muteGroup) {
  if (sound == nullptr || sound->sound.Frames() == 0) return;
  const std::int64_t start = std::max(startFrame, m_renderedTo);
  if (muteGroup != 0) {
    for (Voice& voice : m_voices) {
      if (voice.sound != nullptr && voice.muteGroup == muteGroup && voice.start < start) {
        voice.fadeStart = std::min(voice.fadeStart, start);
      }
    }
  }
  Voice* slot = nullptr;
  for (Voice& voice : m_voices) {
    if (voice.sound == nullptr) {
      slot = &voice;
      break;
    }
  }
  if (slot == nullptr) {
    slot = &*std::min_element(m_voices.begin(), m_voices.end(),
                              [](const Voice& a, const Voice& b) { return a.start < b.start; });
    Release(*slot);
    ++m_stolen;
  }
  sound->users.fetch_add(1, std::memory_order_relaxed);
  slot->sound = sound;
  // A frame already rendered cannot be played any more: the sound starts with the next block,
  // from its first sample.
  slot->start = start;
  slot->fadeStart = kNever;
  slot->muteGroup = muteGroup;
  ++m_active;
}

void NoteMixer::Render(std::int64_t blockStart, int frames, float* left, float* right) {
  const std::int64_t blockEnd = blockStart + frames;
  for (Voice& voice : m_voices) {
    if (voice.sound == nullptr) continue;
    if (voice.start >= blockEnd) continue;
    const NoteSound& sound = voice.sound->sound;
    const auto length = static_cast<std::int64_t>(sound.Frames());
    const std::int64_t from = std::max(blockStart, voice.start);
    const std::int64_t soundEnd = voice.start + length;
    const std::int64_t fadeEnd = voice.fadeStart == kNever ? kNever : voice.fadeStart + kFadeFrames;
    const std::int64_t to = std::min({blockEnd, soundEnd, fadeEnd});
    for (std::int64_t f = from; f < to; ++f) {
      const std::size_t s = static_cast<std::size_t>(f - voice.start);
      const std::size_t out = static_cast<std::size_t>(f - blockStart);
      float gain = 1.0f;
      if (f >= voice.fadeStart) {
        gain = static_cast<float>(fadeEnd - f) / static_cast<float>(kFadeFrames + 1);
      }
      left[out] += gain * sound.left[s];
      right[out] += gain * sound.right[s];
    }
    if (to >= soundEnd || to >= fadeEnd) Release(voice);
  }
  m_renderedTo = blockEnd;
}

void NoteMixer::FadeOut(std::int64_t frame) {
  for (Voice& voice : m_voices) {
    if (voice.sound == nullptr) continue;
    if (voice.start >= frame) {
      Release(voice);
    } else {
      voice.fadeStart = std::min(voice.fadeStart, frame);
    }
  }
}

}  // namespace ticktavo
