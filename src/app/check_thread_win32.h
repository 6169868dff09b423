#pragma once
// One check: the file choice, an archive's extraction, then the demo walk.
#include <windows.h>

namespace rw::app {

DWORD WINAPI checkThreadMain(void* unused);

}  // namespace rw::app
