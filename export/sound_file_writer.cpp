#include "export/sound_file_writer.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace ticktavo {

namespace {

// A RIFF file counts its bytes in 32 bits. Beyond that (over 6 hours of 24-bit stereo at
// 48 kHz) the file is written as RF64, which recording software reads as WAV.
constexpr std::uintmax_t kMaxRiffBytes = 0xFFFFFFFFu - (1u << 16);

int SndfileFormat(ClickFileFormat format, bool huge) {
  const int wav = huge ? SF_FORMAT_RF64 : SF_FORMAT_WAV;
  switch (format) {
    case ClickFileFormat::kWav16:
      return wav | SF_FORMAT_PCM_16;
    case ClickFileFormat::kWav24:
      return wav | SF_FORMAT_PCM_24;
    case ClickFileFormat::kFlac16:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case ClickFileFormat::kFlac24:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  }
  return 0;
}

int BytesPerSample(ClickFileFormat format) {
  return format == ClickFileFormat::kWav24 || format == ClickFileFormat::kFlac24 ? 3 : 2;
}

bool IsWav(ClickFileFormat format) {
  return format == ClickFileFormat::kWav16 || format == ClickFileFormat::kWav24;
}

// Creates a new hidden file beside `target` that no one else has; -1 with errno on failure.
// The mode honours the umask, as the renamed file should.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path* temporary) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "." + target.filename().string() + ".part-" +
                             std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const std::filesystem::path candidate = folder / name;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      *temporary = candidate;
      return fd;
    }
  }
  errno = EEXIST;
  return -1;
}

// libsndfile's message for the last error on `file`, as the rest of a one-line message:
// "System error : File too large." becomes "File too large".
std::string SndfileError(SNDFILE* file) {
  std::string text = sf_strerror(file);
  if (const std::size_t colon = text.find(" : ");
      colon != std::string::npos && text.starts_with("System error")) {
    text.erase(0, colon + 3);
  }
  if (text.ends_with('.')) text.pop_back();
  return text;
}

}  // namespace

SoundFileWriter::~SoundFileWriter() {
  Discard();
}

bool SoundFileWriter::Fail(const std::string& what) {
  m_error = what;
  Discard();
  return false;
}

void SoundFileWriter::Discard() {
  if (m_file != nullptr) sf_close(m_file);
  m_file = nullptr;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
  m_temporary.clear();
}

bool SoundFileWriter::Open(const std::filesystem::path& file, ClickFileFormat format,
                           int sampleRate, std::int64_t expectedFrames) {
  Discard();
  m_error.clear();
  m_target = file;
  if (file.filename().empty()) return Fail("cannot write " + file.string() + ": no file name");
  if (std::filesystem::is_directory(file)) {
    return Fail("cannot write " + file.string() + ": it is a folder");
  }
  m_fd = CreateTemporary(file, &m_temporary);
  if (m_fd < 0) {
    const int error = errno;
    m_temporary.clear();
    return Fail("cannot write " + file.string() + ": " + std::strerror(error));
  }
  // An uncompressed file's size is known in advance.
  const auto needed = static_cast<std::uintmax_t>(std::max<std::int64_t>(expectedFrames, 0)) * 2u *
                      static_cast<std::uintmax_t>(BytesPerSample(format));
  if (IsWav(format)) {
    // Refuse at once what cannot fit, rather than after filling the disk.
    std::error_code error;
    const auto space = std::filesystem::space(m_temporary, error);
    if (!error && space.available < needed) {
      return Fail("cannot write " + file.string() + ": it needs " + std::to_string(needed >> 20) +
                  " MiB and only " + std::to_string(space.available >> 20) + " MiB are free");
    }
  }
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  info.format = SndfileFormat(format, needed > kMaxRiffBytes);
  m_file = sf_open_fd(m_fd, SFM_WRITE, &info, SF_FALSE);
  if (m_file == nullptr) {
    return Fail("cannot write " + file.string() + ": " + SndfileError(nullptr));
  }
  if (!IsWav(format)) {
    // FLAC level 2 of 0..8: a click track is mostly silence, which it packs as tightly as the
    // default level 5 (10 minutes at 120 BPM: 8.6 MiB either way) in less than half the time.
    double level = 0.25;
    sf_command(m_file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
  }
  return true;
}

bool SoundFileWriter::Write(const float* interleaved, std::size_t frames) {
  if (m_file == nullptr) return false;
  const auto count = static_cast<sf_count_t>(frames);
  if (sf_writef_float(m_file, interleaved, count) != count) {
    return Fail("cannot write " + m_target.string() + ": " + SndfileError(m_file));
  }
  return true;
}

bool SoundFileWriter::Commit() {
  if (m_file == nullptr) return false;
  // libsndfile completes the header when the file is closed; the descriptor stays ours, so the
  // data can be made durable before the name points at it.
  const int closed = sf_close(m_file);
  m_file = nullptr;
  if (closed != 0)
    return Fail("cannot write " + m_target.string() + ": " + sf_error_number(closed));
  int error = ::fsync(m_fd) == 0 ? 0 : errno;
  if (::close(m_fd) != 0 && error == 0) error = errno;
  m_fd = -1;
  if (error != 0) return Fail("cannot write " + m_target.string() + ": " + std::strerror(error));
  if (std::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
    return Fail("cannot write " + m_target.string() + ": " + std::strerror(errno));
  }
  m_temporary.clear();
  return true;
}

}  // namespace ticktavo
