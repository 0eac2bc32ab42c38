// The log and no-device back-ends and the choice among the back-ends by TICKTAVO_MIDI.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/beat_player.h"
#include "engine/log_midi_out.h"
#include "engine/midi_out_factory.h"
#include "support/recording_owner.h"
#ifdef _WIN32
#include "engine/winmm_midi_out.h"
#else
#include "engine/synth/synth_midi_out.h"
#endif

namespace ticktavo::testing {
namespace {

#ifdef _WIN32
using DefaultMidiOut = WinMmMidiOut;  // the system's synthesizer
void SetEnvironment(const char* name, const char* value) {
  _putenv_s(name, value);
}
void UnsetEnvironment(const char* name) {
  _putenv_s(name, "");
}
#else
using DefaultMidiOut = SynthMidiOut;
void SetEnvironment(const char* name, const char* value) {
  ::setenv(name, value, 1);
}
void UnsetEnvironment(const char* name) {
  ::unsetenv(name);
}
#endif

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class LogMidiOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = ::testing::TempDir() + "ticktavo_log_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
    std::remove(m_path.c_str());
  }
  void TearDown() override { std::remove(m_path.c_str()); }
  std::string m_path;
};

TEST_F(LogMidiOutTest, WritesOneStampedLinePerOperation) {
  MonotonicClock clock;
  const std::int64_t before = clock.Now();
  {
    LogMidiOut log(m_path);
    EXPECT_EQ(log.GetNumDevs(), 1u);
    EXPECT_EQ(log.Open(), kMidiOk);
    EXPECT_EQ(log.ShortMsg(0x007f2599), kMidiOk);
    EXPECT_EQ(log.ShortMsg(0x99), kMidiOk);
    EXPECT_EQ(log.ShortMsg(0xdeadbeef), kMidiOk);
    EXPECT_EQ(log.ShortMsgAt(0x00642699, 1234567890123), kMidiOk);
    EXPECT_EQ(log.Reset(), kMidiOk);
    EXPECT_EQ(log.Close(), kMidiOk);
  }
  const std::int64_t after = clock.Now();

  // A message sent with its grid time carries it after the message.
  const std::vector<std::string> expected = {
      "open",  "msg 007f2599", "msg 00000099", "msg deadbeef", "msg 00642699 1234567890123",
      "reset", "close"};
  auto lines = ReadLines(m_path);
  ASSERT_EQ(lines.size(), expected.size());
  std::int64_t previous = before;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // "<decimal ns> <operation>"
    const std::size_t space = lines[i].find(' ');
    ASSERT_NE(space, std::string::npos) << lines[i];
    ASSERT_GT(space, 0u) << lines[i];
    const std::string stamp = lines[i].substr(0, space);
    ASSERT_TRUE(std::all_of(stamp.begin(), stamp.end(), [](char c) {
      return c >= '0' && c <= '9';
    })) << lines[i];
    EXPECT_EQ(lines[i].substr(space + 1), expected[i]);
    // Stamps are CLOCK_MONOTONIC nanoseconds taken as each call arrived.
    const std::int64_t ns = std::stoll(stamp);
    EXPECT_GE(ns, previous);
    EXPECT_LE(ns, after);
    previous = ns;
  }
}

TEST_F(LogMidiOutTest, EachLineIsInTheFileAtOnceAndLaterRunsAppend) {
  {
    LogMidiOut log(m_path);
    ASSERT_EQ(log.Open(), kMidiOk);
    ASSERT_EQ(log.ShortMsg(0x00642699), kMidiOk);
    // Not closed yet, as if the program were killed here: the lines are already written.
    auto lines = ReadLines(m_path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(" msg 00642699"), std::string::npos);
    EXPECT_EQ(log.Close(), kMidiOk);
  }
  {
    LogMidiOut log(m_path);
    ASSERT_EQ(log.Open(), kMidiOk);
    ASSERT_EQ(log.Close(), kMidiOk);
  }
  EXPECT_EQ(ReadLines(m_path).size(), 5u);
}

TEST_F(LogMidiOutTest, FailuresAreReportedNotSwallowed) {
  LogMidiOut missing(::testing::TempDir() + "no/such/dir/x.log");
  EXPECT_EQ(missing.Open(), kMidiError);
  LogMidiOut log(m_path);
  EXPECT_EQ(log.ShortMsg(0x00642699), kMidiError);  // not open
  EXPECT_EQ(log.Close(), kMidiError);
  ASSERT_EQ(log.Open(), kMidiOk);
  EXPECT_EQ(log.Open(), kMidiAllocated);
  EXPECT_EQ(log.Close(), kMidiOk);
}

TEST_F(LogMidiOutTest, PlayerOnTheLogDeviceWritesItsWholeLife) {
  std::ostringstream diagnostics;
  const std::string setting = "log:" + m_path;
  auto device = CreateMidiOutFromSetting(setting.c_str(), diagnostics);
  MonotonicClock clock;
  RecordingOwner owner;
  {
    BeatPlayer player(owner, clock, *device);
    std::atomic<int> played{0};
    owner.OnBeatPlayed([&](int, int) {
      if (++played == 2) player.Stop();
    });
    player.SetTempo(1000);
    player.BeginBeat();
    player.AddNote(38, 100, 1);
    player.BeginBeat();
    player.AddNote(42, 127, 1);
    player.Resume();
    ASSERT_TRUE(player.WaitUntilHeld(std::chrono::seconds(30)));
    owner.Close();
  }
  // Each note carries its place on the grid after the message: one period (60 ms) apart,
  // and never after the moment it was sent.
  std::vector<std::string> operations;
  std::vector<std::int64_t> grid;
  for (const std::string& line : ReadLines(m_path)) {
    std::istringstream fields(line);
    std::int64_t stamp = 0;
    std::string operation, message;
    fields >> stamp >> operation;
    if (operation == "msg") {
      std::int64_t place = 0;
      fields >> message >> place;
      EXPECT_GE(stamp, place) << line;
      grid.push_back(place);
      operation += " " + message;
    }
    operations.push_back(operation);
  }
  EXPECT_EQ(operations,
            (std::vector<std::string>{"open", "msg 00642699", "msg 007f2a99", "reset", "close"}));
  ASSERT_EQ(grid.size(), 2u);
  EXPECT_EQ(grid[1] - grid[0], 60'000'000);
  EXPECT_TRUE(diagnostics.str().empty());
  EXPECT_TRUE(owner.Errors().empty());
}

TEST(MidiOutFactoryTest, EachSettingChoosesItsDevice) {
  // Without a soundfont the synthesizer starts no audio, which keeps this test quiet.
  SetEnvironment("TICKTAVO_SOUNDFONT", "/nonexistent/ticktavo-test.sf2");
  enum class Kind { kSynth, kLog, kNone };
  struct Case {
    const char* value;
    Kind kind;
    bool complains;
  };
  const Case cases[] = {
      {nullptr, Kind::kSynth, false}, {"synth", Kind::kSynth, false},
      {"none", Kind::kNone, false},   {"log:/tmp/ticktavo.log", Kind::kLog, false},
      {"Synth", Kind::kSynth, true},  {"log:", Kind::kSynth, true},
      {"alsa", Kind::kSynth, true},   {"", Kind::kSynth, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value == nullptr ? "(unset)" : c.value);
    std::ostringstream diagnostics;
    auto device = CreateMidiOutFromSetting(c.value, diagnostics);
    ASSERT_NE(device, nullptr);
    switch (c.kind) {
      case Kind::kSynth:
        EXPECT_NE(dynamic_cast<DefaultMidiOut*>(device.get()), nullptr);
        break;
      case Kind::kLog: {
        auto* log = dynamic_cast<LogMidiOut*>(device.get());
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(log->Path(), "/tmp/ticktavo.log");
        break;
      }
      case Kind::kNone:
        EXPECT_NE(dynamic_cast<NoMidiOut*>(device.get()), nullptr);
        EXPECT_EQ(device->GetNumDevs(), 0u);
        break;
    }
    const std::string said = diagnostics.str();
    if (c.complains) {
      EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
      EXPECT_NE(said.find(std::string("\"") + c.value + "\""), std::string::npos) << said;
    } else {
      EXPECT_TRUE(said.empty()) << said;
    }
  }
}

// Found by fuzzing the environment: the refused value was printed as it was, so a newline in it
// broke the one line, and a terminal's control sequences in it reached the terminal.
TEST(MidiOutFactoryTest, ControlCharactersInARefusedValueAreShownEscaped) {
  SetEnvironment("TICKTAVO_SOUNDFONT", "/nonexistent/ticktavo-test.sf2");
  const struct {
    const char* value;
    const char* shown;
  } cases[] = {
      {"none\n", "\"none\\n\""},
      {"\x1b[2Jsynth", "\"\\x1b[2Jsynth\""},
      {"log\t:x\r", "\"log\\t:x\\r\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    std::ostringstream diagnostics;
    auto device = CreateMidiOutFromSetting(c.value, diagnostics);
    EXPECT_NE(dynamic_cast<DefaultMidiOut*>(device.get()), nullptr);
    const std::string said = diagnostics.str();
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(said.find('\x1b'), std::string::npos) << said;
    EXPECT_NE(said.find(c.shown), std::string::npos) << said;
  }
}

TEST(MidiOutFactoryTest, ReadsTheEnvironment) {
  SetEnvironment("TICKTAVO_MIDI", "none");
  std::ostringstream diagnostics;
  auto device = CreateMidiOutFromEnvironment(diagnostics);
  EXPECT_NE(dynamic_cast<NoMidiOut*>(device.get()), nullptr);
  UnsetEnvironment("TICKTAVO_MIDI");
}

TEST(MidiOutFactoryTest, NoneMeansThePlayerReportsNoDevice) {
  RecordingOwner owner;
  MonotonicClock clock;
  NoMidiOut none;
  BeatPlayer player(owner, clock, none);
  EXPECT_FALSE(player.HasThread());
  EXPECT_EQ(owner.Errors(),
            std::vector<std::string>{
                "Can't find a MIDI device!  Are your sound card and driver properly installed?"});
}

}  // namespace
}  // namespace ticktavo::testing
