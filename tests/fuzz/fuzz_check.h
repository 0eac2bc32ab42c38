#pragma once

#include <cstdio>
#include <cstdlib>

// A property the fuzz target holds to: when it fails, say which and stop, so libFuzzer keeps
// the input as a crash.
#define FUZZ_REQUIRE(condition, what)                                                 \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: %s (%s)\n", __FILE__, __LINE__, what, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (false)
