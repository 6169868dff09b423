#pragma once
// The values start-up gathers for the rest of the program, and the one
// CheckResult. Both live until the process ends and are never destroyed, so a
// worker still running while the process exits never sees them torn down.
#include <windows.h>

#include "base/check_result.h"
#include "base/wide_text.h"
#include "platform/win32/handle.h"
#include "records/records_database.h"

namespace rw::app {

inline constexpr UINT WM_STARTCHECK = WM_USER + 1;
// Posted by a check's thread as its last act, after its final repaint request.
inline constexpr UINT WM_CHECKDONE = WM_USER + 2;

struct StartupValues {
    WideText tempFolder;
    bool archiverFound = false;
    WideText archiverFolder;
    OSVERSIONINFOEXW osVersion{};
    HWND mainWindowHandle = nullptr;
    platform::KernelHandle workerThread;  // touched by the window thread only
    RecordsDatabase* records = nullptr;
};

StartupValues& startupValues();
CheckResult& checkResult();

// Invalidates the main window without erasing and posts WM_PAINT to it; the
// CheckResult's writers call it through its RepaintHook.
void repaintMainWindow(void* context);

}  // namespace rw::app
