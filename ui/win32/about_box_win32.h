#pragma once

#include <windows.h>

#include <string>

#include "dialog/window_host.h"

namespace ticktavo::win32 {

// The About box (template 100), modal to owner: the version line, and the link in blue whose
// click opens pageAddress through host (the box stays open). OK, Escape and the close box
// close it. Returns when it is closed.
void RunAboutBox(HINSTANCE instance, HWND owner, WindowHost& host, std::string pageAddress);

}  // namespace ticktavo::win32
