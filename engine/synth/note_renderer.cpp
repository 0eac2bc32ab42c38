#include "engine/synth/note_renderer.h"

#include <algorithm>
#include <cmath>

#include "engine/synth/fluid_setup.h"

namespace ticktavo {

namespace {

// FluidSynth renders in blocks of 64 frames; asking for the same block size keeps the offline
// render bit-identical to what the live synthesizer produces for a note started on a block.
constexpr int kRenderBlock = 64;
// Samples below this are silence for trimming the end of a tail (about -120 dBFS).
constexpr float kSilence = 1e-6f;
// Length of the fade applied when a sound is cut at maxFrames.
constexpr double kCutFadeSeconds = 0.005;

}  // namespace

struct NoteRenderer::Impl {
  FluidSettingsPtr settings;
  FluidSynthPtr synth;
};

NoteRenderer::NoteRenderer(const std::string& soundfont, double sampleRate)
    : m_impl(std::make_unique<Impl>()), m_sampleRate(sampleRate) {
  m_impl->settings = NewSynthSettings(sampleRate);
  if (m_impl->settings) {
    m_impl->synth = NewSynthWithSoundfont(m_impl->settings.get(), soundfont);
  }
}

NoteRenderer::~NoteRenderer() = default;

bool NoteRenderer::Ok() const {
  return m_impl->synth != nullptr;
}

std::size_t NoteRenderer::MaxSoundFrames() const {
  return static_cast<std::size_t>(kMaxSoundSeconds * m_sampleRate);
}

NoteSound NoteRenderer::Render(int note, int velocity, std::size_t maxFrames) {
  NoteSound sound;
  if (!Ok() || velocity <= 0) return sound;
  if (maxFrames == 0) maxFrames = MaxSoundFrames();
  fluid_synth_t* synth = m_impl->synth.get();
  fluid_synth_noteon(synth, kPercussionChannel, note, velocity);
  float left[kRenderBlock];
  float right[kRenderBlock];
  while (sound.Frames() < maxFrames) {
    fluid_synth_write_float(synth, kRenderBlock, left, 0, 1, right, 0, 1);
    sound.left.insert(sound.left.end(), left, left + kRenderBlock);
    sound.right.insert(sound.right.end(), right, right + kRenderBlock);
    if (fluid_synth_get_active_voice_count(synth) == 0) break;
  }
  const bool cut = fluid_synth_get_active_voice_count(synth) != 0;
  if (cut) {
    // Leave the synthesizer silent for the next note, and end this one without a click.
    fluid_synth_all_sounds_off(synth, -1);
    fluid_synth_write_float(synth, kRenderBlock, left, 0, 1, right, 0, 1);
  }
  if (sound.Frames() > maxFrames) {
    sound.left.resize(maxFrames);
    sound.right.resize(maxFrames);
  }
  if (cut) {
    const std::size_t fade =
        std::min(static_cast<std::size_t>(kCutFadeSeconds * m_sampleRate), sound.Frames());
    const std::size_t start = sound.Frames() - fade;
    for (std::size_t i = 0; i < fade; ++i) {
      const float gain = static_cast<float>(fade - i) / static_cast<float>(fade + 1);
      sound.left[start + i] *= gain;
      sound.right[start + i] *= gain;
    }
  }
  // Trim the silent end so that the mixer does not spend time adding zeros.
  std::size_t end = sound.Frames();
  while (end > 0 && std::fabs(sound.left[end - 1]) < kSilence &&
         std::fabs(sound.right[end - 1]) < kSilence) {
    --end;
  }
  sound.left.resize(end);
  sound.right.resize(end);
  return sound;
}

}  // namespace ticktavo
