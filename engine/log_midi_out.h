#pragma once

#include <atomic>
#include <string>

#include "engine/midi_out.h"

namespace ticktavo {

// A MIDI device that writes what it is asked to do to a file, one line per operation, each line
// written and flushed at once so nothing is lost if the program is killed:
//
//   <ns> open
//   <ns> msg <the packed message as 8 lower-case hex digits>[ <grid>]
//   <ns> reset
//   <ns> close
//
// <ns> is MonotonicNanoseconds() (CLOCK_MONOTONIC; the performance counter on Windows) when
// the call arrived; <grid>, on messages the player
// sends with ShortMsgAt, is the moment the message belongs to on the beat grid, in the player's
// clock ticks (nanoseconds in the program), so <ns> - <grid> is how late it was sent. Lines are
// appended to the file (created if missing). Opening fails with kMidiError when the file cannot be
// opened for appending; a line that cannot be written fails its operation the same way.
class LogMidiOut final : public MidiOut {
 public:
  explicit LogMidiOut(std::string path);
  ~LogMidiOut() override;

  LogMidiOut(const LogMidiOut&) = delete;
  LogMidiOut& operator=(const LogMidiOut&) = delete;

  unsigned GetNumDevs() override { return 1; }
  MidiResult Open() override;
  MidiResult ShortMsg(std::uint32_t message) override;
  MidiResult ShortMsgAt(std::uint32_t message, std::int64_t gridTime) override;
  MidiResult Reset() override;
  MidiResult Close() override;

  const std::string& Path() const { return m_path; }

 private:
  // Formats and writes one line with a single write(2); no allocation.
  MidiResult WriteLine(std::int64_t ns, const char* operation, const std::uint32_t* message,
                       const std::int64_t* gridTime = nullptr);

  std::string m_path;
  std::atomic<int> m_fd{-1};
};

// No device at all: there are no output devices to open.
class NoMidiOut final : public MidiOut {
 public:
  unsigned GetNumDevs() override { return 0; }
  MidiResult Open() override { return kMidiNoDevice; }
  MidiResult ShortMsg(std::uint32_t) override { return kMidiNoDevice; }
  MidiResult Reset() override { return kMidiNoDevice; }
  MidiResult Close() override { return kMidiNoDevice; }
};

}  // namespace ticktavo
