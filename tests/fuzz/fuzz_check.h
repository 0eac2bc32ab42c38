#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// A property the fuzz target holds to: when it fails, say which and stop, so libFuzzer keeps
// the input as a crash.
#define FUZZ_REQUIRE(condition, what)                                                 \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (false)

namespace ticktavo::fuzz {

// A folder of this process's own below `base` (made at the first call, the same ever after),
// removed when the process ends normally; a crash leaves it for a look.
inline const std::filesystem::path& PrivateFolder(const std::filesystem::path& base) {
  static const std::filesystem::path folder = [&] {
    std::filesystem::path made = base / ("ticktavo-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
    return made;
  }();
  return folder;
}

}  // namespace ticktavo::fuzz
