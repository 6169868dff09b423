#include "app/window_repaint_win32.h"

#include <windows.h>

#include "app/result_board_win32.h"
#include "app/startup_values_win32.h"

namespace rw::app {

void repaintMainWindow(void*) {
    const HWND window = startupValues().mainWindowHandle;
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void publishToWindow(CheckResult& result) {
    result.board = &resultBoard();
    result.repaint = RepaintHook{repaintMainWindow, nullptr};
}

}  // namespace rw::app
