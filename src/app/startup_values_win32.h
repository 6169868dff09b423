#pragma once
// The values start-up gathers for the rest of the program, and the board the
// workers publish their results to. Both live until the process ends and are never destroyed, so a
// worker still running while the process exits never sees them torn down.
#include <windows.h>

#include <optional>
#include <string>

#include "base/check_result.h"
#include "base/wide_text.h"
#include "platform/win32/handle.h"
#include "records/records_database.h"

namespace rw::app {

inline constexpr UINT WM_STARTCHECK = WM_USER + 1;
// Posted by a check's thread as its last act, after its final repaint request.
inline constexpr UINT WM_CHECKDONE = WM_USER + 2;
// Posted by the update thread when its pass ended with the program running on.
inline constexpr UINT WM_UPDATEDONE = WM_USER + 3;

struct StartupValues {
    OSVERSIONINFOEXW osVersion{};
    HWND mainWindowHandle = nullptr;
    platform::KernelHandle workerThread;  // touched by the window thread only
    RecordsDatabase* records = nullptr;
    std::optional<std::wstring> fileToOpen;  // named on the command line; checked after the update pass
};

StartupValues& startupValues();
ResultBoard& resultBoard();

// Invalidates the main window without erasing and posts WM_PAINT to it.
void repaintMainWindow(void* context);

// Makes a worker's private result publish to the board and repaint the window.
void publishToWindow(CheckResult& result);

}  // namespace rw::app
