#include "engine/log_midi_out.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "engine/clock.h"

// Windows: no close-on-exec flag, and the file must not be opened in text mode, which would
// turn each "\n" into "\r\n".
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace ticktavo {

LogMidiOut::LogMidiOut(std::string path) : m_path(std::move(path)) {}

LogMidiOut::~LogMidiOut() {
  const int fd = m_fd.exchange(-1);
  if (fd >= 0) ::close(fd);
}

MidiResult LogMidiOut::WriteLine(std::int64_t ns, const char* operation,
                                 const std::uint32_t* message, const std::int64_t* gridTime) {
  const int fd = m_fd.load(std::memory_order_acquire);
  if (fd < 0) return kMidiError;
  char line[64];
  int length = 0;
  if (message != nullptr && gridTime != nullptr) {
    length = std::snprintf(line, sizeof line, "%lld %s %08x %lld\n", static_cast<long long>(ns),
                           operation, static_cast<unsigned>(*message),
                           static_cast<long long>(*gridTime));
  } else if (message != nullptr) {
    length = std::snprintf(line, sizeof line, "%lld %s %08x\n", static_cast<long long>(ns),
                           operation, static_cast<unsigned>(*message));
  } else {
    length = std::snprintf(line, sizeof line, "%lld %s\n", static_cast<long long>(ns), operation);
  }
  if (length <= 0 || length >= static_cast<int>(sizeof line)) return kMidiError;
  // One write per line: with O_APPEND the line lands whole at the end of the file, and there is
  // no user-space buffer to lose.
  ssize_t written;
  do {
    written = ::write(fd, line, static_cast<std::size_t>(length));
  } while (written < 0 && errno == EINTR);
  return written == length ? kMidiOk : kMidiError;
}

MidiResult LogMidiOut::Open() {
  const std::int64_t ns = MonotonicNanoseconds();
  if (m_fd.load(std::memory_order_acquire) >= 0) return kMidiAllocated;
  const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_BINARY, 0644);
  if (fd < 0) return kMidiError;
  m_fd.store(fd, std::memory_order_release);
  const MidiResult result = WriteLine(ns, "open", nullptr);
  if (result != kMidiOk) {
    m_fd.store(-1, std::memory_order_release);
    ::close(fd);
  }
  return result;
}

MidiResult LogMidiOut::ShortMsg(std::uint32_t message) {
  return WriteLine(MonotonicNanoseconds(), "msg", &message);
}

MidiResult LogMidiOut::ShortMsgAt(std::uint32_t message, std::int64_t gridTime) {
  return WriteLine(MonotonicNanoseconds(), "msg", &message, &gridTime);
}

MidiResult LogMidiOut::Reset() {
  return WriteLine(MonotonicNanoseconds(), "reset", nullptr);
}

MidiResult LogMidiOut::Close() {
  const std::int64_t ns = MonotonicNanoseconds();
  const MidiResult result = WriteLine(ns, "close", nullptr);
  const int fd = m_fd.exchange(-1);
  if (fd < 0) return kMidiError;
  if (::close(fd) != 0) return kMidiError;
  return result;
}

}  // namespace ticktavo
