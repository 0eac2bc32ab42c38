#pragma once

#include <array>
#include <string_view>

namespace ticktavo {

// Icon 128, the application icon, at the sizes it is drawn in. Resource paths valid after
// LoadIconResources().
inline constexpr std::array<std::string_view, 4> kAppIconPaths = {
    ":/ticktavo/app-16.png", ":/ticktavo/app-32.png", ":/ticktavo/app-48.png",
    ":/ticktavo/app-128.png"};

// Registers the compiled-in icons. The resources live in a static library, whose unreferenced
// objects the linker would drop, so every program that shows them calls this once.
void LoadIconResources();

}  // namespace ticktavo
