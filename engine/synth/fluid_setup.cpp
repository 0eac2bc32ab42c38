#include "engine/synth/fluid_setup.h"

#include <cstdio>
#include <mutex>

namespace ticktavo {

namespace {

thread_local FluidErrorCollector* t_collector = nullptr;

extern "C" void FluidLog(int level, const char* message, void* /*data*/) {
  if (message == nullptr) return;
  if (level == FLUID_PANIC || level == FLUID_ERR) {
    if (t_collector != nullptr) {
      t_collector->Append(message);
      return;
    }
    std::fprintf(stderr, "fluidsynth: %s\n", message);
  } else if ((level == FLUID_WARN || level == FLUID_INFO) && t_collector != nullptr) {
    t_collector->AppendWarning(message);
  }
  // Warnings, information and debug output are dropped: they say nothing a user can act on.
}

}  // namespace

void FluidErrorCollector::Append(const char* message) {
  if (!m_text.empty()) m_text += '\n';
  m_text += message;
}

void FluidErrorCollector::AppendWarning(const char* message) {
  if (!m_warnings.empty()) m_warnings += '\n';
  m_warnings += message;
}

FluidErrorCollector::FluidErrorCollector() : m_previous(t_collector) {
  t_collector = this;
}
FluidErrorCollector::~FluidErrorCollector() {
  t_collector = m_previous;
}

void InstallFluidLogging() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      fluid_set_log_function(level, FluidLog, nullptr);
    }
  });
}

FluidSettingsPtr NewSynthSettings(double sampleRate) {
  InstallFluidLogging();
  FluidSettingsPtr settings(new_fluid_settings());
  if (!settings) return settings;
  fluid_settings_t* s = settings.get();
  fluid_settings_setnum(s, "synth.sample-rate", sampleRate);
  fluid_settings_setnum(s, "synth.gain", kSynthGain);
  fluid_settings_setint(s, "synth.reverb.active", 0);
  fluid_settings_setint(s, "synth.chorus.active", 0);
  fluid_settings_setint(s, "synth.cpu-cores", 1);
  fluid_settings_setint(s, "synth.audio-channels", 1);
  fluid_settings_setstr(s, "audio.sample-format", "float");
  // No MIDI input, no shell, no LASH: the synthesizer is driven by this program only.
  fluid_settings_setint(s, "synth.lock-memory", 0);
  return settings;
}

FluidSynthPtr NewSynthWithSoundfont(fluid_settings_t* settings, const std::string& soundfont) {
  FluidSynthPtr synth(new_fluid_synth(settings));
  if (!synth) return synth;
  if (fluid_synth_sfload(synth.get(), soundfont.c_str(), 1) == FLUID_FAILED) synth.reset();
  return synth;
}

}  // namespace ticktavo
