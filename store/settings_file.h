#pragma once

#include <filesystem>
#include <memory>
#include <ostream>

#include "store/registry.h"

namespace ticktavo {

// Where the user's settings file lives: $XDG_CONFIG_HOME/ticktavo/settings.db, or
// ~/.config/ticktavo/settings.db when XDG_CONFIG_HOME is unset, empty or not absolute.
std::filesystem::path SettingsFilePath();

// Opens the user's settings file (creating it and its folder), reporting problems with it
// in one line each on `errors`. Always returns a registry; when the file cannot be used at
// all, every call on it fails, so the program runs on its defaults and saves nothing.
// On Windows the settings are in the registry itself (windows_registry.h) and there is no file.
std::unique_ptr<Registry> OpenUserSettings(std::ostream& errors);

}  // namespace ticktavo
