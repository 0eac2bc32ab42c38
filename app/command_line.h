#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace ticktavo {

// What the options ask for. With no options at all the program opens its window instead.
struct CommandLine {
  bool help = false;
  std::filesystem::path exportFile;
  int measures = 16;
  int rate = 48000;
  int bits = 16;
  std::optional<std::string> preset;
};

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the export could not be made; no display for the window
inline constexpr int kExitUsage = 2;   // the options were wrong

// Reads the options after the program's name: "--name value" or "--name=value". Nothing, with
// a one-line reason in `error`, for an unknown option, a missing or bad value, or no --export.
std::optional<CommandLine> ParseCommandLine(std::span<const std::string> args, std::string* error);

// The text of --help.
std::string CommandLineHelp();

// Runs the options: prints the help, or exports a click track of the stored settings (or a
// preset) and prints its length, without any window. Errors are one line on `err`. Returns the
// exit status.
int RunCommandLine(std::span<const std::string> args, std::ostream& out, std::ostream& err);
// The same with main()'s arguments, on standard output and standard error.
int RunCommandLine(int argc, char* argv[]);

// The window needs a display: an X server named by DISPLAY or a Wayland compositor named by
// WAYLAND_DISPLAY, unless QT_QPA_PLATFORM asks for a platform that needs neither (offscreen,
// for one). Without one the toolkit would abort with its own message; this says why in one
// line instead. Nothing when a window can be tried. `environment` reads a variable (null when
// it is not set).
std::optional<std::string> NoDisplayReason(
    const std::function<const char*(const char*)>& environment);

}  // namespace ticktavo
