#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace ticktavo::test {

// Registry tests run below HKEY_CURRENT_USER\Software\Quelbrand\TicktavoTests, one fresh key
// per test, and the whole tree goes when the test program ends: the program's own settings
// are never touched.
inline constexpr char kScratchRoot[] = "Software\\Quelbrand\\TicktavoTests";

class ScratchRegistryCleanup {
 public:
  ScratchRegistryCleanup() { Remove(); }  // what an interrupted run left
  ~ScratchRegistryCleanup() { Remove(); }
  static void Remove() { RegDeleteTreeA(HKEY_CURRENT_USER, kScratchRoot); }
};

// A fresh key below the scratch root, named after the test's own temporary folder.
inline std::string ScratchRegistryRoot(const std::filesystem::path& folder) {
  static ScratchRegistryCleanup cleanup;
  return std::string(kScratchRoot) + "\\" + folder.filename().string();
}

}  // namespace ticktavo::test
