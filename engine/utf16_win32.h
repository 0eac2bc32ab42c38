#pragma once

#include <string>
#include <string_view>

namespace ticktavo::win32 {

// Texts are UTF-8 everywhere in the program and UTF-16 at the Win32 calls. Invalid sequences
// become U+FFFD rather than being dropped, so a damaged stored name still shows as something.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace ticktavo::win32
