#pragma once
// The values start-up gathers for the rest of the program. They live until
// the process ends and are never destroyed, so a worker still running while
// the process exits never sees them torn down. All but the records are
// written before any worker starts and only read afterwards.
#include <windows.h>

#include <optional>
#include <string>

#include "app/records_hand_over.h"
#include "base/wide_text.h"

namespace rw::app {

struct StartupValues {
    OSVERSIONINFOEXW osVersion{};
    HWND mainWindowHandle = nullptr;
    RecordsHandOver records;  // published by the update pass, taken by checks
    std::optional<std::wstring> fileToOpen;  // named on the command line; window thread only
};

StartupValues& startupValues();

}  // namespace rw::app
