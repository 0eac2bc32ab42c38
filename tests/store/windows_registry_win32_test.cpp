// The settings in the Windows registry itself (under Wine: Wine's registry), seen through the
// registry's own calls and through `reg query`, as other tools see them. The contract every
// registry back-end shares runs in registry_test.cpp.
#include <windows.h>
// after windows.h
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "recording_view.h"
#include "store/settings_file.h"
#include "store/settings_store.h"
#include "store/windows_registry.h"
#include "store_test_support.h"
#include "windows_registry_scratch.h"

namespace ticktavo {
namespace {

struct RawValue {
  LSTATUS status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// A value as the registry's ANSI call returns it, with no help from the code under test.
RawValue ReadRaw(const std::string& keyPath, const char* name) {
  RawValue value;
  HKEY key = nullptr;
  value.status = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key);
  if (value.status != ERROR_SUCCESS) return value;
  value.data.resize(2048);
  DWORD size = static_cast<DWORD>(value.data.size());
  value.status = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
  value.data.resize(value.status == ERROR_SUCCESS ? size : 0);
  RegCloseKey(key);
  return value;
}

// What `reg query` prints for one value (reg.exe ships with Windows and with Wine).
std::string RegQuery(const std::string& keyPath, const char* name) {
  const std::string command = "reg query \"HKCU\\" + keyPath + "\" /v \"" + name + "\" 2>&1";
  std::string output;
  if (FILE* pipe = _popen(command.c_str(), "r")) {
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) output += chunk;
    _pclose(pipe);
  }
  return output;
}

class WindowsRegistryTest : public ::testing::Test {
 protected:
  test::TempFolder m_folder;
  const std::string m_root = test::ScratchRegistryRoot(m_folder.path());
  const std::string m_main = m_root + "\\Software\\Quelbrand\\Ticktavo";
  WindowsRegistry m_registry{m_root};
  test::RecordingView m_view;
  SettingsStore m_store{m_registry, m_view};
};

TEST_F(WindowsRegistryTest, SavedSettingsHaveTheirTypesAndByteCountsInTheRegistry) {
  m_view.bpm = 133;
  m_view.customText = "3(12)0";
  m_view.blinking = false;
  m_view.selected = -1;
  ASSERT_TRUE(m_store.SaveSettings(std::nullopt));

  struct Expected {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
  };
  const Expected table[] = {
      {"BPMinute", REG_DWORD, {133, 0, 0, 0}},
      {"BPMeasure", REG_DWORD, {4, 0, 0, 0}},
      {"Metronome Style", REG_DWORD, {0, 0, 0, 0}},
      {"Sound 2", REG_DWORD, {42, 0, 0, 0}},
      {"Volume 8", REG_DWORD, {127, 0, 0, 0}},
      {"Blinker 0", REG_DWORD, {8, 0, 0, 0}},
      // Text with its terminating zero: length + 1 bytes.
      {"Custom Measure", REG_SZ, {'3', '(', '1', '2', ')', '0', 0}},
      // A DWORD of one byte, as the program always stored it.
      {"Blinking", REG_DWORD, {0}},
      {"Preset", REG_DWORD, {0xff, 0xff, 0xff, 0xff}},
      {"WindowLeft", REG_DWORD, {10, 0, 0, 0}},
      {"WindowBottom", REG_DWORD, {0x08, 0x02, 0, 0}},  // 520
  };
  for (const Expected& expected : table) {
    SCOPED_TRACE(expected.name);
    const RawValue value = ReadRaw(m_main, expected.name);
    ASSERT_EQ(value.status, ERROR_SUCCESS);
    EXPECT_EQ(value.type, expected.type);
    EXPECT_EQ(value.data, expected.data);
  }

  // Other tools read the same: the one-byte flag shows as a DWORD.
  const std::string shown = RegQuery(m_main, "Blinking");
  EXPECT_NE(shown.find("REG_DWORD"), std::string::npos) << shown;
  EXPECT_NE(RegQuery(m_main, "Custom Measure").find("3(12)0"), std::string::npos);
}

TEST_F(WindowsRegistryTest, SettingsWrittenByAnotherToolLoad) {
  // What an earlier run (or the user with regedit) left: a one-byte "Blinking" and a preset.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (m_main + "\\Slow").c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, m_main.c_str(), 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const BYTE off = 0;
  const DWORD bpm = 90;
  RegSetValueExA(key, "Blinking", 0, REG_DWORD, &off, 1);
  RegSetValueExA(key, "BPMinute", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bpm), 4);
  RegCloseKey(key);

  m_store.LoadSettings(std::nullopt);
  EXPECT_EQ(m_view.bpm, 90);
  EXPECT_FALSE(m_view.blinking);
  EXPECT_EQ(m_view.presets, std::vector<std::string>{"Slow"});
}

TEST_F(WindowsRegistryTest, AFailedSaveLeavesTheRegistryAsItWas) {
  m_view.bpm = 100;
  ASSERT_TRUE(m_store.SaveSettings("Kept"));
  test::FaultyRegistry faulty(m_registry);
  SettingsStore failing(faulty, m_view);
  m_view.bpm = 150;
  faulty.failAt = 5;  // after the tempo and more have been written
  EXPECT_FALSE(failing.SaveSettings("Kept"));
  faulty.failAt = static_cast<int>(faulty.writes.size()) + 3;
  EXPECT_FALSE(failing.SaveSettings("New"));

  const RawValue bpm = ReadRaw(m_main + "\\Kept", "BPMinute");
  ASSERT_EQ(bpm.status, ERROR_SUCCESS);
  EXPECT_EQ(bpm.data, (std::vector<BYTE>{100, 0, 0, 0}));
  // The preset the failed save would have made is not left behind, empty or half written.
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (m_main + "\\New").c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST(WindowsUserSettingsTest, TheProgramsRegistryIsTheUsersOwn) {
  // The registry the program opens is rooted at HKEY_CURRENT_USER itself; written below the
  // test's scratch key, so the user's real settings stay untouched.
  std::ostringstream errors;
  auto registry = OpenUserSettings(errors);
  const std::string path = std::string(test::kScratchRoot) + "\\Direct";
  {
    OpenKey key(*registry);
    ASSERT_EQ(key.Create(Registry::kCurrentUser, path, RegAccess::kReadWrite), RegResult::kSuccess);
    const std::byte one[] = {std::byte{1}};
    ASSERT_EQ(registry->SetValue(key.Get(), "Blinking", kRegDword, one), RegResult::kSuccess);
  }
  const RawValue value = ReadRaw(path, "Blinking");
  ASSERT_EQ(value.status, ERROR_SUCCESS);
  EXPECT_EQ(value.data, std::vector<BYTE>{1});
  EXPECT_EQ(errors.str(), "");
}

}  // namespace
}  // namespace ticktavo
