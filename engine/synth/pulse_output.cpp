#include "engine/synth/pulse_output.h"

#include <pulse/pulseaudio.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "engine/clock.h"

namespace ticktavo {

namespace {

constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);
// The largest block rendered in one go; the server asks for more only when the stream starts.
constexpr int kMaxBlockFrames = 8192;
// How long to wait for the server to answer while connecting.
constexpr pa_usec_t kConnectTimeoutUs = 3'000'000;

class PulseStream final : public PulseOutput {
 public:
  PulseStream(Render render, void* data) : m_render(render), m_data(data) {}

  ~PulseStream() override {
    if (m_loop != nullptr) pa_threaded_mainloop_stop(m_loop);
    if (m_stream != nullptr) {
      pa_stream_disconnect(m_stream);
      pa_stream_unref(m_stream);
    }
    if (m_context != nullptr) {
      pa_context_disconnect(m_context);
      pa_context_unref(m_context);
    }
    if (m_loop != nullptr) pa_threaded_mainloop_free(m_loop);
  }

  bool Start(const std::string& name, const Format& format, std::string* error) {
    m_loop = pa_threaded_mainloop_new();
    if (m_loop == nullptr) return Fail(error, "cannot create the PulseAudio main loop");
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), name.c_str());
    if (m_context == nullptr) return Fail(error, "cannot create a PulseAudio context");
    pa_context_set_state_callback(m_context, &PulseStream::Signal, this);
    // No server means no PulseAudio output: never start one of our own.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      return Fail(error, pa_strerror(pa_context_errno(m_context)));
    }
    pa_threaded_mainloop_lock(m_loop);
    if (pa_threaded_mainloop_start(m_loop) < 0) {
      pa_threaded_mainloop_unlock(m_loop);
      return Fail(error, "cannot start the PulseAudio thread");
    }
    const bool ok = Connect(format, error);
    pa_threaded_mainloop_unlock(m_loop);
    return ok;
  }

  void Pause() override { Cork(true); }
  void Resume() override { Cork(false); }
  bool Paused() const override { return m_paused.load(std::memory_order_relaxed); }
  int PeriodFrames() const override { return m_periodFrames; }

 private:
  static void Signal(pa_context* /*context*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->m_loop, 0);
  }
  static void StreamSignal(pa_stream* /*stream*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->m_loop, 0);
  }

  static bool Fail(std::string* error, const char* text) {
    if (error != nullptr) *error = text;
    return false;
  }

  // Waits, with the loop locked, until `ready` or `failed` says so or the time is up.
  template <typename Ready, typename Failed>
  bool WaitFor(Ready ready, Failed failed) {
    const long long deadline =
        MonotonicNanoseconds() + static_cast<long long>(kConnectTimeoutUs) * 1000;
    while (!ready()) {
      if (failed() || MonotonicNanoseconds() >= deadline) return false;
      // The state callbacks signal; the timer makes sure a server that never answers does not
      // hold us for ever.
      pa_time_event* timer = pa_context_rttime_new(
          m_context, pa_rtclock_now() + 100'000,
          [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
            pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->m_loop, 0);
          },
          this);
      pa_threaded_mainloop_wait(m_loop);
      pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    }
    return true;
  }

  bool Connect(const Format& format, std::string* error) {
    if (!WaitFor([&] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; },
                 [&] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)); })) {
      return Fail(error, "no PulseAudio server answered");
    }
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_FLOAT32LE;
    spec.rate = static_cast<std::uint32_t>(format.sampleRate);
    spec.channels = kChannels;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    m_stream = pa_stream_new_with_proplist(m_context, "Metronome", &spec, nullptr, props);
    pa_proplist_free(props);
    if (m_stream == nullptr) return Fail(error, pa_strerror(pa_context_errno(m_context)));
    pa_stream_set_state_callback(m_stream, &PulseStream::StreamSignal, this);
    pa_stream_set_write_callback(m_stream, &PulseStream::Write, this);

    // The buffer the whole way to the speaker is at most bufferFrames (the server's own part
    // included), and the server asks for periodFrames at a time: few wake-ups, and a latency the
    // device's fixed latency covers with room to spare.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(format.bufferFrames * kFrameBytes);
    // No pre-buffering: after an underrun the server plays on and drops what comes too late
    // instead of holding the stream until its buffer is full again, so the frames we render
    // keep their place against the card's clock and no later note is shifted.
    attr.prebuf = 0;
    attr.minreq = static_cast<std::uint32_t>(format.periodFrames * kFrameBytes);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
      return Fail(error, pa_strerror(pa_context_errno(m_context)));
    }
    if (!WaitFor([&] { return pa_stream_get_state(m_stream) == PA_STREAM_READY; },
                 [&] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)); })) {
      return Fail(error, "the PulseAudio stream did not start");
    }
    if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(m_stream)) {
      m_periodFrames = static_cast<int>(granted->minreq / kFrameBytes);
    }
    return true;
  }

  void Cork(bool pause) {
    pa_threaded_mainloop_lock(m_loop);
    if (m_stream != nullptr && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
      if (pa_operation* op = pa_stream_cork(m_stream, pause ? 1 : 0, nullptr, nullptr)) {
        pa_operation_unref(op);
      }
      m_paused.store(pause, std::memory_order_relaxed);
    }
    pa_threaded_mainloop_unlock(m_loop);
  }

  // The stream's thread, when the server wants `bytes` more.
  static void Write(pa_stream* stream, std::size_t bytes, void* data) {
    auto* self = static_cast<PulseStream*>(data);
    const long long now = MonotonicNanoseconds();
    auto frames = static_cast<int>(bytes / kFrameBytes);
    while (frames > 0) {
      const int n = std::min(frames, kMaxBlockFrames);
      std::fill_n(self->m_left.begin(), n, 0.0f);
      std::fill_n(self->m_right.begin(), n, 0.0f);
      self->m_render(self->m_data, now, n, self->m_left.data(), self->m_right.data());
      void* buffer = nullptr;
      std::size_t size = static_cast<std::size_t>(n) * kFrameBytes;
      if (pa_stream_begin_write(stream, &buffer, &size) < 0 || buffer == nullptr ||
          size < static_cast<std::size_t>(n) * kFrameBytes) {
        // The server's own buffer is unavailable: hand it ours to copy.
        if (buffer != nullptr) pa_stream_cancel_write(stream);
        Interleave(n, self->m_left.data(), self->m_right.data(), self->m_interleaved.data());
        pa_stream_write(stream, self->m_interleaved.data(),
                        static_cast<std::size_t>(n) * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
      } else {
        Interleave(n, self->m_left.data(), self->m_right.data(), static_cast<float*>(buffer));
        pa_stream_write(stream, buffer, static_cast<std::size_t>(n) * kFrameBytes, nullptr, 0,
                        PA_SEEK_RELATIVE);
      }
      frames -= n;
    }
  }

  static void Interleave(int frames, const float* left, const float* right, float* out) {
    for (int i = 0; i < frames; ++i) {
      out[2 * i] = left[i];
      out[2 * i + 1] = right[i];
    }
  }

  Render m_render;
  void* m_data;
  pa_threaded_mainloop* m_loop = nullptr;
  pa_context* m_context = nullptr;
  pa_stream* m_stream = nullptr;
  int m_periodFrames = 0;
  std::atomic<bool> m_paused{false};
  std::array<float, kMaxBlockFrames> m_left{};
  std::array<float, kMaxBlockFrames> m_right{};
  std::array<float, kMaxBlockFrames * kChannels> m_interleaved{};
};

}  // namespace

std::unique_ptr<PulseOutput> PulseOutput::Open(const std::string& name, const Format& format,
                                               Render render, void* data, std::string* error) {
  auto stream = std::make_unique<PulseStream>(render, data);
  if (!stream->Start(name, format, error)) return nullptr;
  return stream;
}

}  // namespace ticktavo
