#include "engine/synth/soundfont_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace ticktavo {

namespace {

bool IsReadableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

}  // namespace

std::string FindSoundfont(const std::string& requested) {
  std::string chosen = requested;
  if (chosen.empty()) {
    const char* fromEnvironment = std::getenv("TICKTAVO_SOUNDFONT");
    chosen = (fromEnvironment != nullptr && *fromEnvironment != '\0') ? fromEnvironment
                                                                      : kSystemSoundfont;
  }
  return IsReadableFile(chosen) ? chosen : std::string();
}

}  // namespace ticktavo
