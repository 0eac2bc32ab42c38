#pragma once

#include <cstdint>

namespace ticktavo {

// Result codes of the MIDI output operations; the open errors are the ones the player reports.
using MidiResult = std::uint32_t;
inline constexpr MidiResult kMidiOk = 0;             // MMSYSERR_NOERROR
inline constexpr MidiResult kMidiError = 1;          // MMSYSERR_ERROR
inline constexpr MidiResult kMidiBadDeviceId = 2;    // MMSYSERR_BADDEVICEID
inline constexpr MidiResult kMidiAllocated = 4;      // MMSYSERR_ALLOCATED
inline constexpr MidiResult kMidiNoMemory = 7;       // MMSYSERR_NOMEM
inline constexpr MidiResult kMidiInvalidParam = 11;  // MMSYSERR_INVALPARAM
inline constexpr MidiResult kMidiNoDevice = 68;      // MIDIERR_NODEVICE

// One MIDI output device: the default device of the system (or whatever stands in for it).
// Open, ShortMsg, Reset and Close may be called from the timing thread; GetNumDevs and Open
// are called while the player is built, on the window's thread.
class MidiOut {
 public:
  virtual ~MidiOut() = default;

  // Number of output devices; 0 means there is none.
  virtual unsigned GetNumDevs() = 0;
  // Opens the default output device.
  virtual MidiResult Open() = 0;
  // Sends one packed short message at once (status in the low byte). Non-zero is a failure.
  virtual MidiResult ShortMsg(std::uint32_t message) = 0;
  // The same message, with the moment it belongs to: its place on the player's beat grid, in
  // the player's clock ticks (CLOCK_MONOTONIC nanoseconds in the program). A timing thread that
  // wakes late sends after that moment; a device that places its sound by time (the default
  // device) uses gridTime, so the late wake-up is not heard. Devices that play what they get at
  // once send it now, as ShortMsg does.
  virtual MidiResult ShortMsgAt(std::uint32_t message, std::int64_t /*gridTime*/) {
    return ShortMsg(message);
  }
  // Turns off every sounding note on every channel.
  virtual MidiResult Reset() = 0;
  virtual MidiResult Close() = 0;

  // A hint, given on the window's thread when a beat is queued (two beats before it sounds),
  // that this note at this velocity will be sent soon. Back-ends that prepare sounds ahead of
  // time use it; the others ignore it. It must never block for long.
  virtual void Prepare(int /*note*/, int /*velocity*/) {}
};

// Packs a note-on on the percussion channel (status 0x99) as the device takes it.
constexpr std::uint32_t NoteOnMessage(int note, int velocity) {
  return 0x99u | (static_cast<std::uint32_t>(note & 0x7f) << 8) |
         (static_cast<std::uint32_t>(velocity & 0x7f) << 16);
}

}  // namespace ticktavo
