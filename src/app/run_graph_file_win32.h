#pragma once
// The run graph opened from the panel's menu: written to a private temporary
// file and opened with the default program for SVG pictures. There is one
// such file at a time; it is removed at the next check and at the end. The
// window thread alone calls these.
#include <windows.h>

#include <string>

namespace rw::app {

// False when the file could not be written or no program opened it.
bool openRunGraph(HWND window, const std::string& svg);

void removeRunGraphFile();

}  // namespace rw::app
