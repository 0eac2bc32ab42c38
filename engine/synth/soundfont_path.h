#pragma once

#include <string>

namespace ticktavo {

// Where the system's General MIDI soundfont lives on Debian (timgm6mb-soundfont or
// fluid-soundfont-gm provide it through the alternatives system).
inline constexpr const char* kSystemSoundfont = "/usr/share/sounds/sf2/default-GM.sf2";

// The soundfont the default device loads: `requested` when it is not empty, else the file named
// by TICKTAVO_SOUNDFONT when that is set and not empty, else the system's default GM soundfont.
// Returns an empty string when the chosen file is not a readable regular file, which makes the
// device report that there is no device rather than fail later while loading.
std::string FindSoundfont(const std::string& requested);

}  // namespace ticktavo
