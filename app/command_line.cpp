#include "app/command_line.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <vector>

#include "export/click_track.h"
#include "export/stored_program.h"
#include "store/settings_file.h"

namespace ticktavo {

namespace {

// A whole decimal number within [low, high], nothing else.
std::optional<int> ReadNumber(std::string_view text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || stop != end || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// Text from the command line or the settings file as it can stand in a one-line message:
// control characters (a newline in a file name, say) written as escapes.
std::string OneLine(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      shown += escape;
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

std::string CommandLineHelp() {
  return "Usage: ticktavo [--export FILE [--measures N] [--rate RATE] [--bits BITS] "
         "[--preset NAME]]\n"
         "\n"
         "Without options, opens the metronome's window.\n"
         "\n"
         "  --export FILE   write a click track of what the window plays to FILE and exit;\n"
         "                  a name ending in .wav gives a WAV file, .flac a FLAC file\n"
         "  --measures N    number of measures, 1 to 9999 (default 16)\n"
         "  --rate RATE     sample rate, 44100 or 48000 (default 48000)\n"
         "  --bits BITS     bits per sample, 16 or 24 (default 16)\n"
         "  --preset NAME   the named preset instead of the settings the window last closed with\n"
         "  -h, --help      show this help and exit\n";
}

std::optional<CommandLine> ParseCommandLine(std::span<const std::string> args, std::string* error) {
  CommandLine line;
  bool exporting = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "-h" || arg == "--help") {
      line.help = true;
      continue;
    }
    std::optional<std::string_view> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    if (arg != "--export" && arg != "--measures" && arg != "--rate" && arg != "--bits" &&
        arg != "--preset") {
      *error = "unknown option '" + OneLine(args[i]) + "' (see ticktavo --help)";
      return std::nullopt;
    }
    std::string_view value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      *error = "the option " + std::string(arg) + " needs a value (see ticktavo --help)";
      return std::nullopt;
    }
    std::optional<int> number;
    if (arg == "--export") {
      if (value.empty()) {
        *error = "--export needs a file name";
        return std::nullopt;
      }
      line.exportFile = std::string(value);
      exporting = true;
    } else if (arg == "--preset") {
      line.preset = std::string(value);
    } else if (arg == "--measures") {
      if (!(number = ReadNumber(value, kMinExportMeasures, kMaxExportMeasures))) {
        *error =
            "--measures takes a number of measures from 1 to 9999, not '" + OneLine(value) + "'";
        return std::nullopt;
      }
      line.measures = *number;
    } else if (arg == "--rate") {
      if (!(number = ReadNumber(value, 44100, 48000)) || !IsExportRate(*number)) {
        *error = "--rate takes 44100 or 48000, not '" + OneLine(value) + "'";
        return std::nullopt;
      }
      line.rate = *number;
    } else {
      if (!(number = ReadNumber(value, 16, 24)) || (*number != 16 && *number != 24)) {
        *error = "--bits takes 16 or 24, not '" + OneLine(value) + "'";
        return std::nullopt;
      }
      line.bits = *number;
    }
  }
  if (!line.help && !exporting) {
    *error = "nothing to do: --export FILE is missing (see ticktavo --help)";
    return std::nullopt;
  }
  if (exporting && !FormatForFile(line.exportFile, line.bits)) {
    *error = "cannot tell the format of " + OneLine(line.exportFile.string()) +
             ": the name must end in .wav or .flac";
    return std::nullopt;
  }
  return line;
}

int RunCommandLine(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<CommandLine> line = ParseCommandLine(args, &error);
  if (!line) {
    err << "ticktavo: " << error << '\n';
    return kExitUsage;
  }
  if (line->help) {
    out << CommandLineHelp();
    return kExitOk;
  }
  const auto fail = [&](const std::string& text) {
    err << "ticktavo: " << OneLine(text) << '\n';
    return kExitFailed;
  };
  const std::optional<Settings> settings =
      ReadStoredSettings(SettingsFilePath(), line->preset, &error);
  if (!settings) return fail(error);
  const std::optional<ClickProgram> program = ProgramFromSettings(*settings, &error);
  if (!program) return fail("the custom measure cannot be played: " + error);
  ExportOptions options;
  options.measures = line->measures;
  options.sampleRate = line->rate;
  options.format = *FormatForFile(line->exportFile, line->bits);
  const ExportResult result = ExportClickTrack(line->exportFile, *program, options);
  if (!result.ok) return fail(result.error);
  out << line->exportFile.string() << ": " << result.beats << " beats in " << line->measures
      << (line->measures == 1 ? " measure" : " measures") << " at " << program->bpm << " BPM, "
      << Seconds(result.Seconds()) << " s (" << result.frames << " frames at " << result.sampleRate
      << " Hz, " << FormatName(options.format) << ")\n";
  return kExitOk;
}

std::optional<std::string> NoDisplayReason(
    const std::function<const char*(const char*)>& environment) {
  const auto set = [&environment](const char* name) {
    const char* value = environment(name);
    return value != nullptr && *value != '\0';
  };
  if (set("DISPLAY") || set("WAYLAND_DISPLAY")) return std::nullopt;
  if (set("QT_QPA_PLATFORM")) {
    // The first platform named ("wayland;xcb" tries wayland first), without its options.
    const std::string_view platforms = environment("QT_QPA_PLATFORM");
    const std::string_view first = platforms.substr(0, platforms.find_first_of(";:"));
    if (first != "xcb" && !first.starts_with("wayland")) return std::nullopt;
  }
  return "Ticktavo needs a graphical desktop: no display found (DISPLAY / WAYLAND_DISPLAY are "
         "not set).";
}

int RunCommandLine(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return RunCommandLine(args, std::cout, std::cerr);
}

}  // namespace ticktavo
