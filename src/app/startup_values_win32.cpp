#include "app/startup_values_win32.h"

namespace rw::app {

StartupValues& startupValues() {
    static auto* values = new StartupValues;  // never freed, see the header
    return *values;
}

CheckResult& checkResult() {
    static auto* result = new CheckResult;
    return *result;
}

void repaintMainWindow(void*) {
    const HWND window = startupValues().mainWindowHandle;
    if (!window) return;
    InvalidateRect(window, nullptr, FALSE);
    PostMessageW(window, WM_PAINT, 0, 0);
}

}  // namespace rw::app
