#pragma once

#include <cstdint>
#include <limits>

namespace ticktavo {

// Decides when the default device's audio stream pauses and runs again. A stopped metronome
// should leave the sound server and the sound card nothing to do, so the stream pauses once
// nothing has sounded for the idle delay after a stop (or since it opened); it runs again as soon
// as something is about to sound: the window preparing notes before Play, or a note sent.
// While the metronome plays the stream never pauses, however slow the tempo, so every beat of a
// run is placed by the same unbroken stream clock.
//
// Pure logic over times the caller supplies; the device's control thread feeds it.
class StreamIdle {
 public:
  enum class Action { kNone, kPause, kResume };

  // The stream runs from `nowNs` on; nothing plays yet.
  StreamIdle(std::int64_t idleDelayNs, std::int64_t nowNs)
      : m_idleDelayNs(idleDelayNs), m_quietSinceNs(nowNs) {}

  // A note was sent: playing until the next Quiet.
  Action Note(std::int64_t /*nowNs*/) {
    m_playing = true;
    return Run();
  }
  // Notes are about to be sent (the window prepares them before Play): run, and start the idle
  // delay afresh in case Play does not follow.
  Action Wake(std::int64_t nowNs) {
    if (!m_playing) m_quietSinceNs = nowNs;
    return Run();
  }
  // The device was reset (Stop) or closed: nothing sounds from now on.
  void Quiet(std::int64_t nowNs) {
    m_playing = false;
    m_quietSinceNs = nowNs;
  }
  // The timer: pauses a stream that has been quiet for the idle delay.
  Action Poll(std::int64_t nowNs) {
    if (m_running && !m_playing && nowNs - m_quietSinceNs >= m_idleDelayNs) {
      m_running = false;
      return Action::kPause;
    }
    return Action::kNone;
  }
  // When Poll will next have something to do; the largest time when nothing is due.
  std::int64_t Deadline() const {
    if (!m_running || m_playing) return std::numeric_limits<std::int64_t>::max();
    return m_quietSinceNs + m_idleDelayNs;
  }
  bool Running() const { return m_running; }

 private:
  Action Run() {
    if (m_running) return Action::kNone;
    m_running = true;
    return Action::kResume;
  }

  std::int64_t m_idleDelayNs;
  std::int64_t m_quietSinceNs;
  bool m_running = true;
  bool m_playing = false;
};

}  // namespace ticktavo
