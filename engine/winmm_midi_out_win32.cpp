#include <windows.h>
// mmsystem.h after windows.h
#include <mmsystem.h>

#include "engine/winmm_midi_out.h"

namespace ticktavo {

namespace {

// WinMM's codes pass through unchanged; these are the ones the player names.
static_assert(kMidiOk == MMSYSERR_NOERROR && kMidiError == MMSYSERR_ERROR &&
              kMidiBadDeviceId == MMSYSERR_BADDEVICEID && kMidiAllocated == MMSYSERR_ALLOCATED &&
              kMidiNoMemory == MMSYSERR_NOMEM && kMidiInvalidParam == MMSYSERR_INVALPARAM &&
              kMidiNoDevice == MIDIERR_NODEVICE);

HMIDIOUT AsDevice(void* handle) {
  return static_cast<HMIDIOUT>(handle);
}

}  // namespace

WinMmMidiOut::~WinMmMidiOut() {
  if (void* handle = m_handle.exchange(nullptr)) {
    midiOutReset(AsDevice(handle));
    midiOutClose(AsDevice(handle));
  }
}

unsigned WinMmMidiOut::GetNumDevs() {
  return midiOutGetNumDevs();
}

MidiResult WinMmMidiOut::Open() {
  if (m_handle.load(std::memory_order_acquire) != nullptr) return kMidiAllocated;
  HMIDIOUT device = nullptr;
  const MMRESULT result = midiOutOpen(&device, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
  if (result == MMSYSERR_NOERROR) m_handle.store(device, std::memory_order_release);
  return result;
}

MidiResult WinMmMidiOut::ShortMsg(std::uint32_t message) {
  // A closed device is a null handle, which WinMM refuses with MMSYSERR_INVALHANDLE.
  return midiOutShortMsg(AsDevice(m_handle.load(std::memory_order_acquire)), message);
}

MidiResult WinMmMidiOut::Reset() {
  return midiOutReset(AsDevice(m_handle.load(std::memory_order_acquire)));
}

MidiResult WinMmMidiOut::Close() {
  void* handle = m_handle.load(std::memory_order_acquire);
  const MMRESULT result = midiOutClose(AsDevice(handle));
  if (result == MMSYSERR_NOERROR) m_handle.store(nullptr, std::memory_order_release);
  return result;
}

std::unique_ptr<MidiOut> CreateWinMmMidiOut() {
  return std::make_unique<WinMmMidiOut>();
}

}  // namespace ticktavo
