#pragma once
// The main window's own messages. Workers only post them: the window thread
// never waits for a worker, nor a worker for the window thread.
#include <windows.h>

namespace rw::app {

// Sent by the window to itself for a click on "Check Demo" or the shortcut.
inline constexpr UINT WM_STARTCHECK = WM_USER + 1;
// Posted by a check's thread as its last act, after its final repaint request.
inline constexpr UINT WM_CHECKDONE = WM_USER + 2;
// Posted by the update thread when its pass ended with the program running on.
inline constexpr UINT WM_UPDATEDONE = WM_USER + 3;

}  // namespace rw::app
