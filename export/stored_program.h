#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "export/click_track.h"
#include "store/stored_settings.h"

namespace ticktavo {

// The musical settings stored in the settings file `file` (the main settings, or the preset of
// that name, matched ignoring case as the preset list matches names), read without creating,
// repairing or writing anything. A file that does not exist yet gives the first-start defaults.
// Nothing, with a one-line reason in `error`, when the file cannot be read or has no such
// preset.
std::optional<Settings> ReadStoredSettings(const std::filesystem::path& file,
                                           std::optional<std::string_view> preset,
                                           std::string* error);

// The tempo the window's tempo field makes of a stored number: below 4 gives 4, above 1000
// gives 1000, and a negative number counts as above 1000 (the field compares unsigned).
int TempoFromStored(int stored);

// What the window plays with these settings: the style's measure (Straight: the beats field's
// number of beats of voice 1; Simple Measure: voice 2, then voice 1; Custom: the custom text),
// the voices and the tempo. Nothing, with the parser's own message in `error`, when the style
// is Custom and its text does not parse.
std::optional<ClickProgram> ProgramFromSettings(const Settings& settings, std::string* error);

}  // namespace ticktavo
