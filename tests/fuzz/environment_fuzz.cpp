// What the program takes from its environment, set to any text: TICKTAVO_MIDI (which device),
// TICKTAVO_SOUNDFONT (which soundfont) and XDG_CONFIG_HOME / HOME (where the settings file is).
// Each value chooses what its documentation says, or is refused in one line and the default is
// used. No sound is ever started: the default device is built while TICKTAVO_SOUNDFONT names a
// file that does not exist, so it finds no soundfont and opens no audio stream; the soundfont
// lookup itself is fuzzed on its own.

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/log_midi_out.h"
#include "engine/midi_out_factory.h"
#include "engine/synth/soundfont_path.h"
#include "engine/synth/synth_midi_out.h"
#include "fuzz_check.h"
#include "store/settings_file.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kNoSoundfont = "/nonexistent/ticktavo-fuzz.sf2";

// An environment value ends at its first zero byte.
std::string EnvironmentText(FuzzedDataProvider& input) {
  std::string text = input.ConsumeRandomLengthString(64);
  return text.substr(0, text.find('\0'));
}

// Sets the variable, or leaves it unset.
void Set(const char* name, const std::string& value, bool set) {
  if (set) {
    setenv(name, value.c_str(), 1);
  } else {
    unsetenv(name);
  }
}

bool ReadableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), R_OK) == 0;
}

// Log files are written only into a private folder, under names without a '/'.
const fs::path& PrivateFolder() {
  return ticktavo::fuzz::PrivateFolder(fs::temp_directory_path());
}

// The device a log:NAME value gives, writing into the private folder.
void CheckLogDevice(const std::string& name) {
  if (name.find('/') != std::string::npos || name == "." || name == "..") return;
  const std::string path = (PrivateFolder() / name).string();
  ticktavo::LogMidiOut device(path);
  std::error_code ignored;
  fs::remove(path, ignored);
  FUZZ_REQUIRE(device.Open() == ticktavo::kMidiOk, "the log device could not open its file");
  FUZZ_REQUIRE(device.ShortMsg(ticktavo::NoteOnMessage(37, 127)) == ticktavo::kMidiOk,
               "the log device could not write a message");
  FUZZ_REQUIRE(device.ShortMsgAt(ticktavo::NoteOnMessage(76, 5), 42) == ticktavo::kMidiOk,
               "the log device could not write a message with its grid time");
  FUZZ_REQUIRE(device.Reset() == ticktavo::kMidiOk, "the log device could not reset");
  FUZZ_REQUIRE(device.Close() == ticktavo::kMidiOk, "the log device could not close");
  std::ifstream log(path);
  std::vector<std::string> operations;
  for (std::string line; std::getline(log, line);) {
    std::istringstream fields(line);
    long long ns = 0;
    std::string operation;
    fields >> ns >> operation;
    std::string rest;
    std::getline(fields, rest);
    operations.push_back(operation + rest);
  }
  fs::remove(path, ignored);
  const std::vector<std::string> expected = {"open", "msg 007f2599", "msg 00054c99 42", "reset",
                                             "close"};
  FUZZ_REQUIRE(operations == expected, "the log file does not hold the operations in order");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool midiSet = input.ConsumeBool();
  const std::string midi = EnvironmentText(input);
  const std::string soundfont = EnvironmentText(input);
  const bool xdgSet = input.ConsumeBool();
  const std::string xdg = EnvironmentText(input);
  const bool homeSet = input.ConsumeBool();
  const std::string home = EnvironmentText(input);

  // The soundfont lookup: the file named, when it is a readable file; else nothing.
  setenv("TICKTAVO_SOUNDFONT", soundfont.c_str(), 1);
  const std::string found = ticktavo::FindSoundfont("");
  const std::string chosen = soundfont.empty() ? ticktavo::kSystemSoundfont : soundfont;
  FUZZ_REQUIRE(found == (ReadableFile(chosen) ? chosen : std::string()),
               "the soundfont lookup chose another file");
  FUZZ_REQUIRE(ticktavo::FindSoundfont(soundfont) ==
                   (!soundfont.empty() && ReadableFile(soundfont) ? soundfont : found),
               "a requested soundfont was not taken as it is");

  // The device.
  setenv("TICKTAVO_SOUNDFONT", kNoSoundfont, 1);
  Set("TICKTAVO_MIDI", midi, midiSet);
  std::ostringstream diagnostics;
  const std::unique_ptr<ticktavo::MidiOut> device =
      ticktavo::CreateMidiOutFromEnvironment(diagnostics);
  FUZZ_REQUIRE(device != nullptr, "no device at all");
  const bool isLog = midi.size() > 4 && midi.compare(0, 4, "log:") == 0;
  if (midiSet && midi == "none") {
    FUZZ_REQUIRE(device->GetNumDevs() == 0 && device->Open() == ticktavo::kMidiNoDevice,
                 "\"none\" gave a device");
  } else if (midiSet && isLog) {
    auto* log = dynamic_cast<ticktavo::LogMidiOut*>(device.get());
    FUZZ_REQUIRE(log != nullptr && log->Path() == midi.substr(4), "log:PATH gave another device");
    CheckLogDevice(log->Path());
  } else {
    FUZZ_REQUIRE(dynamic_cast<ticktavo::SynthMidiOut*>(device.get()) != nullptr,
                 "another value than log: or none did not give the default device");
    FUZZ_REQUIRE(device->GetNumDevs() == 0,
                 "the default device found a soundfont that is not there");
  }
  const std::string said = diagnostics.str();
  const bool understood = !midiSet || midi == "synth" || midi == "none" || isLog;
  FUZZ_REQUIRE(understood ? said.empty() : (!said.empty() && said.find('\n') == said.size() - 1),
               "a value was not refused in exactly one line, or a good one was");

  // The settings file's place.
  Set("XDG_CONFIG_HOME", xdg, xdgSet);
  Set("HOME", home, homeSet);
  const fs::path settings = ticktavo::SettingsFilePath();
  FUZZ_REQUIRE(
      settings.filename() == "settings.db" && settings.parent_path().filename() == "ticktavo",
      "the settings file is not ticktavo/settings.db");
  if (xdgSet && !xdg.empty() && xdg[0] == '/') {
    FUZZ_REQUIRE(settings == fs::path(xdg) / "ticktavo" / "settings.db",
                 "an absolute XDG_CONFIG_HOME was not used");
  } else if (homeSet && !home.empty()) {
    FUZZ_REQUIRE(settings == fs::path(home) / ".config" / "ticktavo" / "settings.db",
                 "HOME was not used without a usable XDG_CONFIG_HOME");
  }
  return 0;
}
