// Click-track export speed: 10 minutes of a 4-beat measure (voice 2, then voice 1) at 120 BPM
// and 48 kHz, written in each format, several times; prints the median and the range. The
// 16-bit WAV export is timed once more on a thread of its own at nice 10, as the window's
// export box runs it.
//
//   export_bench [--runs N] [--folder DIR]     (the folder defaults to /tmp)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/resource.h>

#include "engine/realtime.h"
#include "export/click_track.h"

int main(int argc, char* argv[]) {
  using namespace ticktavo;
  int runs = 5;
  std::filesystem::path folder = std::filesystem::temp_directory_path();
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
  }
  ClickProgram program;
  SetSimpleMeasure(program.measure, 4);
  program.bpm = 120;
  std::printf("Export of 10 min at 120 BPM (1200 beats), 48 kHz, %d runs each, wall time:\n", runs);
  for (const auto& [name, format, niced] : {std::tuple{"wav", ClickFileFormat::kWav16, false},
                                            std::tuple{"wav", ClickFileFormat::kWav24, false},
                                            std::tuple{"flac", ClickFileFormat::kFlac16, false},
                                            std::tuple{"wav", ClickFileFormat::kWav16, true}}) {
    ExportOptions options;
    options.measures = 300;
    options.sampleRate = 48000;
    options.format = format;
    const std::filesystem::path file = folder / (std::string("ticktavo-export-bench.") + name);
    std::vector<double> seconds;
    ExportResult result;
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      if (niced) {
        std::thread([&] {
          (void)setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()), 10);
          result = ExportClickTrack(file, program, options);
        }).join();
      } else {
        result = ExportClickTrack(file, program, options);
      }
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      if (!result.ok) {
        std::fprintf(stderr, "export_bench: %s\n", result.error.c_str());
        return 1;
      }
    }
    std::sort(seconds.begin(), seconds.end());
    std::error_code ignored;
    const auto bytes = std::filesystem::file_size(file, ignored);
    std::filesystem::remove(file, ignored);
    std::printf("  %-12s median %.3f s (min %.3f, max %.3f), %.0f x real time, %.1f MiB\n",
                (std::string(FormatName(format)) + (niced ? ", nice 10" : "")).c_str(),
                seconds[seconds.size() / 2], seconds.front(), seconds.back(),
                result.Seconds() / seconds[seconds.size() / 2],
                static_cast<double>(bytes) / (1 << 20));
  }
  return 0;
}
