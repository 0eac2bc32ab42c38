#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "export/click_track.h"

typedef struct sf_private_tag SNDFILE;

namespace ticktavo {

// A stereo sound file written through libsndfile that appears under its name only when it is
// complete. Open creates a temporary file beside the target; Commit renames it into place; a
// writer that is destroyed without a successful Commit removes the temporary file, so a failed
// or cancelled export leaves nothing behind.
class SoundFileWriter final : public ClickSink {
 public:
  SoundFileWriter() = default;
  ~SoundFileWriter();
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;

  // False with Error() when the temporary file cannot be created or libsndfile refuses the
  // format. `expectedFrames`, the most the file will hold, lets a WAV export fail at once when
  // the disk cannot hold it, and picks RF64 for a WAV file beyond 4 GiB.
  bool Open(const std::filesystem::path& file, ClickFileFormat format, int sampleRate,
            std::int64_t expectedFrames);

  bool Write(const float* interleaved, std::size_t frames) override;
  std::string Error() const override { return m_error; }

  // Finishes the file and gives it its name. False with Error() when that fails (the temporary
  // file is then removed).
  bool Commit();

  // The temporary file's path while one exists (for tests).
  const std::filesystem::path& TemporaryPath() const { return m_temporary; }

 private:
  void Discard();
  bool Fail(const std::string& what);

  std::filesystem::path m_target;
  std::filesystem::path m_temporary;
  int m_fd = -1;
  SNDFILE* m_file = nullptr;
  std::string m_error;
};

}  // namespace ticktavo
