#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "export/stored_program.h"
#include "store/store_test_support.h"

namespace ticktavo {
namespace {

// --- What the window plays for stored settings ---

TEST(ProgramFromSettings, PlaysTheStoredStyleAndTempo) {
  struct Case {
    int style;
    int beats;
    std::string custom;
    int bpm;
    std::vector<int> voices;  // plain slots; -1 silence
    int playedBpm;
  };
  const Case cases[] = {
      {0, 4, "2", 90, {0, 0, 0, 0}, 90},         // Straight: the beats field's count of voice 1
      {1, 3, "2", 3, {1, 0, 0}, 4},              // Simple Measure: voice 2, then voice 1
      {7, 4, " 3 0 2", 1001, {2, -1, 1}, 1000},  // any other style is Custom
      {0, 0, "2", -5, {1}, 1000},  // a length of 0 plays slot 0, voice 2; a negative tempo is max
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.style = c.style;
    settings.beatsPerMeasure = c.beats;
    settings.customMeasure = c.custom;
    settings.bpm = c.bpm;
    settings.practice = {true, 10, 2, 260, true, 2, 1};
    std::string error;
    const std::optional<ClickProgram> program = ProgramFromSettings(settings, &error);
    ASSERT_TRUE(program) << error;
    EXPECT_EQ(program->bpm, c.playedBpm) << c.style;
    EXPECT_EQ(program->practice, settings.practice) << "the stored practice tools play too";
    EXPECT_EQ(ExportedBeatsPerMeasure(*program), static_cast<int>(c.voices.size()));
    for (std::size_t i = 0; i < c.voices.size(); ++i) {
      EXPECT_TRUE(program->measure.Slot(static_cast<int>(i)).plain);
      EXPECT_EQ(program->measure.Slot(static_cast<int>(i)).voice, c.voices[i]) << c.style << i;
    }
  }
}

TEST(ProgramFromSettings, ACustomMeasureThatDoesNotParseGivesTheParsersMessage) {
  Settings settings;
  settings.style = 2;
  settings.customMeasure = "12(3";
  std::string error;
  EXPECT_FALSE(ProgramFromSettings(settings, &error));
  EXPECT_EQ(error,
            "Make sure you don't have any mismatched parentheses in your measure definition");
  settings.style = 1;  // not parsed outside the Custom style
  EXPECT_TRUE(ProgramFromSettings(settings, &error));
}

// --- Reading the settings file without touching it ---

class StoredSettingsTest : public ::testing::Test {
 protected:
  std::filesystem::path File() const { return m_folder.path() / "settings.db"; }

  // Stores main settings at 150 BPM and a preset "Slow" at 60 BPM.
  void Store() {
    std::ostringstream ignored;
    auto registry = SqliteRegistry::Open(File(), ignored);
    for (const auto& [path, bpm] :
         {std::pair{PresetKeyPath(std::nullopt), 150}, std::pair{PresetKeyPath("Slow"), 60}}) {
      OpenKey key(*registry);
      ASSERT_EQ(key.Create(Registry::kCurrentUser, path, RegAccess::kWrite), RegResult::kSuccess);
      Settings settings;
      settings.bpm = bpm;
      ASSERT_EQ(WriteSettings(*registry, key.Get(), settings), RegResult::kSuccess);
    }
  }

  std::string Bytes() const {
    std::ifstream in(File(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  test::TempFolder m_folder;
};

TEST_F(StoredSettingsTest, ReadsTheMainSettingsAndPresetsAndChangesNothing) {
  Store();
  const std::string before = Bytes();
  std::string error;
  EXPECT_EQ(ReadStoredSettings(File(), std::nullopt, &error)->bpm, 150);
  EXPECT_EQ(ReadStoredSettings(File(), "slow", &error)->bpm, 60);  // names ignore case
  EXPECT_FALSE(ReadStoredSettings(File(), "Fast", &error));
  EXPECT_EQ(error, "there is no preset named \"Fast\"");
  EXPECT_FALSE(ReadStoredSettings(File(), "", &error));
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}), 1);
}

TEST_F(StoredSettingsTest, NoFileGivesTheDefaultsAndCreatesNone) {
  std::string error;
  EXPECT_EQ(ReadStoredSettings(File(), std::nullopt, &error), Settings{});
  EXPECT_FALSE(ReadStoredSettings(File(), "Slow", &error));
  EXPECT_FALSE(std::filesystem::exists(File()));
}

TEST_F(StoredSettingsTest, ADamagedFileIsReportedAndLeftWhereItIs) {
  std::ofstream(File()) << "not a settings file, but long enough to look like something....";
  const std::string before = Bytes();
  std::string error;
  EXPECT_FALSE(ReadStoredSettings(File(), std::nullopt, &error));
  EXPECT_EQ(error.rfind("cannot read the settings file " + File().string() + ": ", 0), 0u) << error;
  EXPECT_EQ(Bytes(), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}), 1);
}

// --- The options ---

TEST(ParseCommandLine, ReadsTheOptions) {
  std::string error;
  const std::vector<std::string> args = {"--measures", "8",         "--export=take 1.FLAC",
                                         "--rate",     "44100",     "--bits=24",
                                         "--preset",   "Slow Blues"};
  const std::optional<CommandLine> line = ParseCommandLine(args, &error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->exportFile, "take 1.FLAC");
  EXPECT_EQ(line->measures, 8);
  EXPECT_EQ(line->rate, 44100);
  EXPECT_EQ(line->bits, 24);
  EXPECT_EQ(line->preset, "Slow Blues");
  EXPECT_FALSE(line->help);

  const std::vector<std::string> defaults = {"--export", "click.wav"};
  const std::optional<CommandLine> plain = ParseCommandLine(defaults, &error);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->measures, 16);
  EXPECT_EQ(plain->rate, 48000);
  EXPECT_EQ(plain->bits, 16);
  EXPECT_FALSE(plain->preset);
  EXPECT_TRUE(ParseCommandLine(std::vector<std::string>{"-h"}, &error)->help);
}

TEST(ParseCommandLine, RefusesBadOptionsInOneLine) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--export", "a.wav", "--loud"}, "unknown option '--loud' (see ticktavo --help)"},
      {{"a.wav"}, "unknown option 'a.wav' (see ticktavo --help)"},
      {{"--export"}, "the option --export needs a value (see ticktavo --help)"},
      {{"--measures", "4"}, "nothing to do: --export FILE is missing (see ticktavo --help)"},
      {{"--export", "a.wav", "--measures", "0"},
       "--measures takes a number of measures from 1 to 9999, not '0'"},
      {{"--export", "a.wav", "--measures=10000"},
       "--measures takes a number of measures from 1 to 9999, not '10000'"},
      {{"--export", "a.wav", "--measures", "4x"},
       "--measures takes a number of measures from 1 to 9999, not '4x'"},
      {{"--export", "a.wav", "--rate", "46000"}, "--rate takes 44100 or 48000, not '46000'"},
      {{"--export", "a.wav", "--bits", "20"}, "--bits takes 16 or 24, not '20'"},
      {{"--export", "a.mp3"},
       "cannot tell the format of a.mp3: the name must end in .wav or .flac"},
      {{"--export="}, "--export needs a file name"},
      // What the user typed is echoed with its control characters escaped: still one line.
      {{"--export", "a.wav", "--lo\nud\x01"},
       "unknown option '--lo\\nud\\x01' (see ticktavo --help)"},
      {{"--export", "a\n.mp3"},
       "cannot tell the format of a\\n.mp3: the name must end in .wav or .flac"},
  };
  for (const auto& [args, message] : cases) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine(args, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

// --- The whole command, as the program runs it ---

// Points the settings and the soundfont at a test's own for its lifetime.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

class RunCommandLineTest : public ::testing::Test {
 protected:
  RunCommandLineTest()
      : m_config("XDG_CONFIG_HOME", m_folder.path().string()),
        m_soundfont("TICKTAVO_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2") {}

  // Stores these main settings and a preset "Slow" with a custom measure that does not parse.
  void Store(const Settings& settings) {
    std::ostringstream ignored;
    auto registry = SqliteRegistry::Open(m_folder.path() / "ticktavo" / "settings.db", ignored);
    Settings bad;
    bad.style = 2;
    bad.customMeasure = "1((2)";
    for (const auto& [path, values] : {std::pair{PresetKeyPath(std::nullopt), settings},
                                       std::pair{PresetKeyPath("Slow"), bad}}) {
      OpenKey key(*registry);
      ASSERT_EQ(key.Create(Registry::kCurrentUser, path, RegAccess::kWrite), RegResult::kSuccess);
      WriteSettings(*registry, key.Get(), values);
    }
  }

  int Run(std::vector<std::string> args) {
    m_out.str({});
    m_err.str({});
    return RunCommandLine(args, m_out, m_err);
  }

  test::TempFolder m_folder;
  ScopedVariable m_config;
  ScopedVariable m_soundfont;
  std::ostringstream m_out, m_err;
};

TEST_F(RunCommandLineTest, ExportsTheStoredSettingsAndSaysHowLong) {
  Settings settings;  // the first-start custom measure, 11 beats, at 120 BPM
  settings.style = 2;
  settings.bpm = 120;
  Store(settings);
  const std::string file = (m_folder.path() / "click.wav").string();
  ASSERT_EQ(Run({"--export", file, "--measures", "2"}), kExitOk) << m_err.str();
  // 22 beats at 24 000 frames end at 528 000; the last side stick's tail rings a little longer.
  const std::string out = m_out.str();
  EXPECT_EQ(out.rfind(file + ": 22 beats in 2 measures at 120 BPM, 11.0", 0), 0u) << out;
  EXPECT_NE(out.find(" frames at 48000 Hz, WAV 16-bit)\n"), std::string::npos) << out;
  EXPECT_TRUE(m_err.str().empty());
  EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(RunCommandLineTest, ErrorsAreOneLineAndLeaveNoFile) {
  Store(Settings{});
  const std::string file = (m_folder.path() / "click.wav").string();
  struct Case {
    std::vector<std::string> args;
    std::string soundfont;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"--export", file, "--preset", "Fast"},
       "",
       kExitFailed,
       "there is no preset named \"Fast\""},
      {{"--export", file, "--preset", "Fa\nst"},
       "",
       kExitFailed,
       "there is no preset named \"Fa\\nst\""},
      {{"--export", file, "--preset", "slow"},
       "",
       kExitFailed,
       "the custom measure cannot be played: Make sure you don't have any mismatched "
       "parentheses in your measure definition"},
      {{"--export", "/proc/click.wav"},
       "",
       kExitFailed,
       "cannot write /proc/click.wav: No such file or directory"},
      {{"--export", file},
       "/nonexistent/ticktavo.sf2",
       kExitFailed,
       "no soundfont to play the clicks with (install timgm6mb-soundfont, or name one in "
       "TICKTAVO_SOUNDFONT)"},
      {{"--export", file, "--rate", "8000"},
       "",
       kExitUsage,
       "--rate takes 44100 or 48000, not '8000'"},
  };
  for (const Case& c : cases) {
    std::optional<ScopedVariable> soundfont;
    if (!c.soundfont.empty()) soundfont.emplace("TICKTAVO_SOUNDFONT", c.soundfont);
    EXPECT_EQ(Run(c.args), c.status) << c.message;
    EXPECT_EQ(m_err.str(), "ticktavo: " + c.message + "\n");
    EXPECT_TRUE(m_out.str().empty());
  }
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(RunCommandLineTest, HelpListsEveryOption) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  for (const char* option :
       {"--export FILE", "--measures N", "--rate RATE", "--bits BITS", "--preset NAME", "--help"}) {
    EXPECT_NE(m_out.str().find(option), std::string::npos) << option;
  }
}

// --- Starting the window ---

TEST(NoDisplayReason, AWindowIsTriedOnlyWhereADisplayIsNamed) {
  struct Case {
    const char* display;
    const char* wayland;
    const char* platform;
    bool window;
  };
  const Case cases[] = {
      {":0", nullptr, nullptr, true},
      {nullptr, "wayland-0", nullptr, true},
      {nullptr, nullptr, nullptr, false},
      {"", "", nullptr, false},                  // set but empty names nothing
      {nullptr, nullptr, "offscreen", true},     // a platform that needs no display
      {nullptr, nullptr, "xcb", false},          // the platforms that do
      {nullptr, nullptr, "wayland-egl", false},  //
      {nullptr, nullptr, "wayland;xcb", false},  //
      {nullptr, nullptr, "vnc:size=800x600", true},
      {":1", nullptr, "xcb", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-") << " "
                 << (c.platform ? c.platform : "-"));
    const auto reason = NoDisplayReason([&c](const char* name) -> const char* {
      const std::string_view n = name;
      if (n == "DISPLAY") return c.display;
      if (n == "WAYLAND_DISPLAY") return c.wayland;
      if (n == "QT_QPA_PLATFORM") return c.platform;
      return nullptr;
    });
    EXPECT_EQ(!reason.has_value(), c.window);
    if (reason) {
      EXPECT_EQ(reason->find('\n'), std::string::npos);
      EXPECT_NE(reason->find("no display found"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace ticktavo
