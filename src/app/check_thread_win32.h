#pragma once
// One check: the file choice (unless the window knows the file), an
// archive's extraction, then the demo walk.
#include <windows.h>

namespace rw::app {

// `file`: a std::wstring the thread takes over, or null to ask in the dialog.
// Ends by posting WM_CHECKDONE, wParam 1 when a file was checked.
DWORD WINAPI checkThreadMain(void* file);

}  // namespace rw::app
