#pragma once

#include <atomic>
#include <memory>

#include "engine/midi_out.h"

namespace ticktavo {

// The default device on Windows: the system's MIDI mapper through WinMM, which plays on the
// system's synthesizer unless the user chose another device. Every operation returns WinMM's
// own result code (MMSYSERR_*, MIDIERR_*), which MidiResult numbers alike.
//
// Open and Close run on the window's thread, ShortMsg and Reset also on the timing thread:
// the device handle is atomic, and WinMM itself serialises the calls on one handle.
class WinMmMidiOut final : public MidiOut {
 public:
  WinMmMidiOut() = default;
  ~WinMmMidiOut() override;

  WinMmMidiOut(const WinMmMidiOut&) = delete;
  WinMmMidiOut& operator=(const WinMmMidiOut&) = delete;

  unsigned GetNumDevs() override;
  // The MIDI mapper, no callback. kMidiAllocated when this device is already open.
  MidiResult Open() override;
  MidiResult ShortMsg(std::uint32_t message) override;
  MidiResult Reset() override;
  MidiResult Close() override;

 private:
  // The HMIDIOUT, null while closed; kept as void* so this header needs no <windows.h>.
  std::atomic<void*> m_handle{nullptr};
};

std::unique_ptr<MidiOut> CreateWinMmMidiOut();

}  // namespace ticktavo
