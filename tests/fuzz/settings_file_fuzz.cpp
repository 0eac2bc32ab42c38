// The settings file as the program finds it on disk: any bytes, or a real settings file with
// damaged pages (overwritten bytes, pages wiped or copied over others, a cut-off end, a stray
// rollback journal beside it). Opened through the SQLite back-end and used the way the window
// uses it (load at start, a preset saved and deleted, the main settings saved at close):
// - it loads, and every value reaching the window is in range (CheckingView);
// - or it is set aside as damaged, byte for byte as it was, and the window starts on the
//   defaults in a fresh file;
// - a file that the program wrote to passes SQLite's full integrity check afterwards.

#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checking_view.h"
#include "store/memory_registry.h"
#include "store/settings_store.h"
#include "store/sqlite_registry.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using ticktavo::fuzz::CheckingView;

constexpr std::size_t kPageSize = 4096;

// A private folder on a memory file system where there is one: the saves sync to disk, and
// a million syncs on a real disk would take the run's whole time.
const fs::path& Folder() {
  return ticktavo::fuzz::PrivateFolder(fs::exists("/dev/shm") ? fs::path("/dev/shm")
                                                              : fs::temp_directory_path());
}

void Empty(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Bytes bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

ticktavo::SqliteRegistry::Options FixedOptions() {
  ticktavo::SqliteRegistry::Options options;
  options.busyTimeoutMs = 0;
  options.now = [] { return std::time_t{1700000000}; };
  return options;
}

// A settings file as a user's looks after a while: the main settings and a dozen presets.
const Bytes& RealFile() {
  static const Bytes file = [] {
    const fs::path folder = Folder() / "template";
    fs::create_directories(folder);
    const fs::path path = folder / "settings.db";
    {
      std::ostringstream errors;
      auto registry = ticktavo::SqliteRegistry::Open(path, errors, FixedOptions());
      CheckingView view;
      ticktavo::SettingsStore store(*registry, view);
      store.LoadSettings(std::nullopt);
      for (int i = 0; i < 12; ++i) {
        view.shown.bpm = 60 + 37 * i;
        view.shown.style = i % 3;
        view.shown.customText = std::string(static_cast<std::size_t>(i) * 20, '1') + "(123)0";
        view.shown.volume[static_cast<std::size_t>(i % 9)] = i * 10;
        view.nameText = "Preset " + std::to_string(i);
        store.OnSavePreset();
      }
      store.SaveSettings(std::nullopt);
    }
    Bytes bytes = ReadFile(path);
    fs::remove_all(folder);
    return bytes;
  }();
  return file;
}

// Damages a copy of the real file as the input says.
Bytes DamagedRealFile(FuzzedDataProvider& input) {
  Bytes file = RealFile();
  const int edits = input.ConsumeIntegralInRange(1, 8);
  for (int i = 0; i < edits && input.remaining_bytes() > 0 && !file.empty(); ++i) {
    const std::size_t pages = (file.size() + kPageSize - 1) / kPageSize;
    switch (input.ConsumeIntegralInRange(0, 4)) {
      case 0: {  // a few bytes overwritten anywhere
        const auto at = input.ConsumeIntegralInRange<std::size_t>(0, file.size() - 1);
        const Bytes with = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(1, 16));
        for (std::size_t k = 0; k < with.size() && at + k < file.size(); ++k)
          file[at + k] = with[k];
        break;
      }
      case 1: {  // one bit flipped
        const auto at = input.ConsumeIntegralInRange<std::size_t>(0, file.size() - 1);
        file[at] ^= static_cast<std::uint8_t>(1u << input.ConsumeIntegralInRange(0, 7));
        break;
      }
      case 2: {  // a page wiped with one byte
        const auto page = input.ConsumeIntegralInRange<std::size_t>(0, pages - 1);
        const auto fill = input.ConsumeIntegral<std::uint8_t>();
        for (std::size_t k = page * kPageSize; k < (page + 1) * kPageSize && k < file.size(); ++k) {
          file[k] = fill;
        }
        break;
      }
      case 3: {  // a page written where another belongs
        const auto from = input.ConsumeIntegralInRange<std::size_t>(0, pages - 1);
        const auto to = input.ConsumeIntegralInRange<std::size_t>(0, pages - 1);
        for (std::size_t k = 0; k < kPageSize && from * kPageSize + k < file.size() &&
                                to * kPageSize + k < file.size();
             ++k) {
          file[to * kPageSize + k] = file[from * kPageSize + k];
        }
        break;
      }
      default:  // the end cut off
        file.resize(input.ConsumeIntegralInRange<std::size_t>(0, file.size()));
        break;
    }
  }
  return file;
}

std::string IntegrityCheck(const fs::path& path) {
  sqlite3* db = nullptr;
  std::string verdict = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      verdict = text ? reinterpret_cast<const char*>(text) : "";
    } else {
      verdict = sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close_v2(db);
  return verdict;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const fs::path folder = Folder() / "run";
  fs::create_directories(folder);
  Empty(folder);
  const fs::path path = folder / "settings.db";

  const int kind = input.ConsumeIntegralInRange(0, 2);
  Bytes file;
  if (kind == 0) {
    file = input.ConsumeRemainingBytes<std::uint8_t>();
  } else {
    file = DamagedRealFile(input);
    // A rollback journal left by a copy that was killed, with whatever it holds.
    if (kind == 2)
      WriteFile(folder / "settings.db-journal", input.ConsumeRemainingBytes<std::uint8_t>());
  }
  WriteFile(path, file);

  CheckingView view;
  std::ostringstream errors;
  bool open = false;
  {
    auto registry = ticktavo::SqliteRegistry::Open(path, errors, FixedOptions());
    open = registry->IsOpen();
    ticktavo::SettingsStore store(*registry, view);
    store.LoadSettings(std::nullopt);
    view.nameText = "Fuzz";
    store.OnSavePreset();
    view.nameText = "Preset 3";
    store.OnDeletePreset();
    store.SaveSettings(std::nullopt);
  }

  fs::path keptAside;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".damaged-") != std::string::npos && name.find("-journal") == std::string::npos) {
      FUZZ_REQUIRE(keptAside.empty(), "a damaged file was set aside twice");
      keptAside = entry.path();
    }
  }
  if (!keptAside.empty()) {
    FUZZ_REQUIRE(ReadFile(keptAside) == file, "the damaged file was changed before it was kept");
    ticktavo::MemoryRegistry empty;
    CheckingView defaults;
    ticktavo::SettingsStore(empty, defaults).LoadSettings(std::nullopt);
    FUZZ_REQUIRE(view.shown == defaults.shown, "the window did not start on the defaults");
  }
  if (!open) {
    FUZZ_REQUIRE(!fs::exists(path) || ReadFile(path) == file || !keptAside.empty(),
                 "a file the program could not use was written to");
  } else if (fs::exists(path) && (!keptAside.empty() || ReadFile(path) != file)) {
    const std::string verdict = IntegrityCheck(path);
    if (verdict != "ok") std::fprintf(stderr, "integrity check: %s\n", verdict.c_str());
    FUZZ_REQUIRE(verdict == "ok", "the program wrote to a damaged settings file");
  }
  return 0;
}
