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

// A synthesizer that plays a soundfont loaded by another one, for one note. FluidSynth's voices
// keep state from the note they played last (a new voice ramps its gain over its first block
// from the old value), so a synthesizer that has played anything would start each sound a little
// differently depending on what came before. A fresh one for every note makes a note's sound
// always the same, whichever sounds were rendered before it and in whatever order; sharing the
// loaded soundfont keeps that cheap.
class OneNoteSynth {
 public:
  OneNoteSynth(fluid_settings_t* settings, fluid_sfont_t* soundfont)
      : m_synth(new_fluid_synth(settings)), m_soundfont(soundfont) {
    if (m_synth && fluid_synth_add_sfont(m_synth.get(), m_soundfont) == FLUID_FAILED) {
      m_synth.reset();
    }
  }
  ~OneNoteSynth() {
    // Taken back before the synthesizer goes, which would otherwise free it.
    if (m_synth) fluid_synth_remove_sfont(m_synth.get(), m_soundfont);
  }
  OneNoteSynth(const OneNoteSynth&) = delete;
  OneNoteSynth& operator=(const OneNoteSynth&) = delete;

  fluid_synth_t* Get() const { return m_synth.get(); }

 private:
  FluidSynthPtr m_synth;
  fluid_sfont_t* m_soundfont;
};

struct NoteRenderer::Impl {
  FluidSettingsPtr settings;
  FluidSynthPtr owner;  // holds the loaded soundfont; plays nothing
  fluid_sfont_t* soundfont = nullptr;
};

NoteRenderer::NoteRenderer(const std::string& soundfont, double sampleRate)
    : m_impl(std::make_unique<Impl>()), m_sampleRate(sampleRate) {
  m_impl->settings = NewSynthSettings(sampleRate);
  if (m_impl->settings) {
    m_impl->owner = NewSynthWithSoundfont(m_impl->settings.get(), soundfont);
  }
  if (m_impl->owner) m_impl->soundfont = fluid_synth_get_sfont(m_impl->owner.get(), 0);
  if (m_impl->soundfont == nullptr) m_impl->owner.reset();
}

NoteRenderer::~NoteRenderer() = default;

bool NoteRenderer::Ok() const {
  return m_impl->soundfont != nullptr;
}

std::size_t NoteRenderer::MaxSoundFrames() const {
  return static_cast<std::size_t>(kMaxSoundSeconds * m_sampleRate);
}

NoteSound NoteRenderer::Render(int note, int velocity, std::size_t maxFrames) {
  NoteSound sound;
  if (!Ok() || velocity <= 0) return sound;
  if (maxFrames == 0) maxFrames = MaxSoundFrames();
  const OneNoteSynth player(m_impl->settings.get(), m_impl->soundfont);
  fluid_synth_t* synth = player.Get();
  if (synth == nullptr) return sound;
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
  if (sound.Frames() > maxFrames) {
    sound.left.resize(maxFrames);
    sound.right.resize(maxFrames);
  }
  if (cut) {
    // End it without a click.
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
