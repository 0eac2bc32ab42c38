#include "store/settings_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "store/sqlite_registry.h"

namespace ticktavo {
namespace {

std::filesystem::path HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return ".";
}

}  // namespace

std::filesystem::path SettingsFilePath() {
  std::filesystem::path config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative paths in XDG_CONFIG_HOME are invalid and are ignored.
  if (xdg != nullptr && *xdg != '\0' && std::filesystem::path(xdg).is_absolute()) {
    config = xdg;
  } else {
    config = HomeFolder() / ".config";
  }
  return config / "ticktavo" / "settings.db";
}

std::unique_ptr<Registry> OpenUserSettings(std::ostream& errors) {
  return SqliteRegistry::Open(SettingsFilePath(), errors);
}

}  // namespace ticktavo
