#pragma once
// The one pass at start-up that updates the program and the records.
#include <windows.h>

namespace rw::app {

DWORD WINAPI updateThreadMain(void* unused);

}  // namespace rw::app
