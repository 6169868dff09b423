#include "app/startup_values_win32.h"

namespace rw::app {

StartupValues& startupValues() {
    static auto* values = new StartupValues;  // never freed, see the header
    return *values;
}

ResultBoard& resultBoard() {
    static auto* board = new ResultBoard;
    return *board;
}

void repaintMainWindow(void*) {
    const HWND window = startupValues().mainWindowHandle;
    if (!window) return;
    InvalidateRect(window, nullptr, FALSE);
    PostMessageW(window, WM_PAINT, 0, 0);
}

void publishToWindow(CheckResult& result) {
    result.board = &resultBoard();
    result.repaint = RepaintHook{repaintMainWindow, nullptr};
}

}  // namespace rw::app
