// The command line: any argument list, mostly built from the real options so that the fuzzer
// spends its time on their combinations, values and spellings.
// - refused: exit status 2, one line "ticktavo: ..." on standard error, nothing on standard
//   output, nothing written;
// - accepted: every value in its range, and the options written out again in their plain
//   form read back as the same command line;
// - run: the help is printed as it is; an export fails cleanly in one line (this target gives
//   it no soundfont, and presets it may or may not find) and leaves no file behind.
// Export files are only ever written into a private folder: a name with a '/' is parsed but
// never run.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "checking_view.h"
#include "fuzz_check.h"
#include "store/settings_file.h"
#include "store/settings_store.h"

namespace {

namespace fs = std::filesystem;
using ticktavo::CommandLine;

constexpr std::array<const char*, 14> kWords = {
    "--export",  "--measures",  "--rate",  "--bits",  "--preset",  "--help", "-h",
    "--export=", "--measures=", "--rate=", "--bits=", "--preset=", "--",     "-"};
constexpr std::array<const char*, 16> kValues = {
    "click.wav", "click.flac", "click.WAV", "click.mp3", "click", "16",       "24",   "44100",
    "48000",     "9999",       "10000",     "0",         "-1",    "Practice", "Fast", " 16"};

// One argument: an option, a likely value, the two glued with '=', or any text.
std::string Argument(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return input.PickValueInArray(kWords);
    case 1:
      return input.PickValueInArray(kValues);
    case 2:
      return std::string(input.PickValueInArray(kWords)) + input.PickValueInArray(kValues);
    default:
      return input.ConsumeRandomLengthString(24);
  }
}

// The accepted command line in its plain form: each option once, "--name value".
std::vector<std::string> Plain(const CommandLine& line) {
  std::vector<std::string> args;
  if (line.help) args.push_back("--help");
  if (!line.exportFile.empty()) args.insert(args.end(), {"--export", line.exportFile.string()});
  args.insert(args.end(), {"--measures", std::to_string(line.measures), "--rate",
                           std::to_string(line.rate), "--bits", std::to_string(line.bits)});
  if (line.preset) args.insert(args.end(), {"--preset", *line.preset});
  return args;
}

bool Same(const CommandLine& a, const CommandLine& b) {
  return a.help == b.help && a.exportFile == b.exportFile && a.measures == b.measures &&
         a.rate == b.rate && a.bits == b.bits && a.preset == b.preset;
}

bool OneLine(const std::string& text) {
  return text.starts_with("ticktavo: ") && text.size() > 11 && text.back() == '\n' &&
         std::count(text.begin(), text.end(), '\n') == 1;
}

// The settings file the command line reads: the defaults and two presets, one of them with a
// custom measure that does not parse. Made once.
void SetUpOnce() {
  static const bool done = [] {
    const fs::path folder = ticktavo::fuzz::PrivateFolder(fs::temp_directory_path());
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    setenv("TICKTAVO_SOUNDFONT", "/nonexistent/ticktavo-fuzz.sf2", 1);
    std::ostringstream errors;
    auto registry = ticktavo::OpenUserSettings(errors);
    ticktavo::fuzz::CheckingView view;
    ticktavo::SettingsStore store(*registry, view);
    store.LoadSettings(std::nullopt);
    view.nameText = "Practice";
    store.OnSavePreset();
    view.shown.style = 2;
    view.shown.customText = "12(3";
    view.nameText = "Broken";
    store.OnSavePreset();
    store.SaveSettings(std::nullopt);
    fs::create_directories(folder / "out");
    return true;
  }();
  (void)done;
}

// Runs the command line in the private folder, where a relative export name lands, and comes
// back: libFuzzer's own files are named relative to where it started.
int RunInPrivateFolder(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const fs::path before = fs::current_path();
  fs::current_path(ticktavo::fuzz::PrivateFolder(fs::temp_directory_path()) / "out");
  const int status = ticktavo::RunCommandLine(args, out, err);
  fs::current_path(before);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SetUpOnce();
  FuzzedDataProvider input(data, size);
  std::vector<std::string> args(input.ConsumeIntegralInRange(0, 8));
  for (std::string& arg : args) arg = Argument(input);

  if (std::getenv("FUZZ_SHOW_ARGS")) {
    for (const std::string& arg : args) std::fprintf(stderr, "[%s] ", arg.c_str());
    std::fprintf(stderr, "\n");
  }
  std::string error;
  const std::optional<CommandLine> line = ticktavo::ParseCommandLine(args, &error);
  const bool runnable =
      !line || line->help || line->exportFile.string().find('/') == std::string::npos;
  if (line) {
    FUZZ_REQUIRE(line->help || !line->exportFile.empty(), "accepted with nothing to do");
    FUZZ_REQUIRE(line->measures >= 1 && line->measures <= 9999, "measures out of range");
    FUZZ_REQUIRE(line->rate == 44100 || line->rate == 48000, "a rate other than 44100/48000");
    FUZZ_REQUIRE(line->bits == 16 || line->bits == 24, "bits other than 16/24");
    std::string again;
    const std::optional<CommandLine> reread = ticktavo::ParseCommandLine(Plain(*line), &again);
    FUZZ_REQUIRE(reread && Same(*reread, *line), "the plain form reads back differently");
  } else {
    FUZZ_REQUIRE(!error.empty() && error.find('\n') == std::string::npos,
                 "a refusal without a one-line reason");
  }
  if (!runnable) return 0;

  std::ostringstream out;
  std::ostringstream err;
  const int status = RunInPrivateFolder(args, out, err);
  if (!line) {
    FUZZ_REQUIRE(status == ticktavo::kExitUsage, "refused options without status 2");
    FUZZ_REQUIRE(out.str().empty() && OneLine(err.str()), "refused options not in one line");
  } else if (line->help) {
    FUZZ_REQUIRE(status == ticktavo::kExitOk && out.str() == ticktavo::CommandLineHelp() &&
                     err.str().empty(),
                 "the help not printed as it is");
  } else {
    FUZZ_REQUIRE(status == ticktavo::kExitFailed, "an export without a soundfont did not fail");
    FUZZ_REQUIRE(out.str().empty() && OneLine(err.str()), "a failed export not in one line");
  }
  FUZZ_REQUIRE(fs::is_empty(ticktavo::fuzz::PrivateFolder(fs::temp_directory_path()) / "out"),
               "a file was left behind");
  return 0;
}
