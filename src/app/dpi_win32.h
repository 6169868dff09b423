#pragma once
// The DPI a window is drawn at and the outer size of a client area at a DPI.
// The per-monitor calls came with Windows 10; before them the screen has one
// DPI, which the screen's drawing context tells.
#include <windows.h>

#include <cstdint>

namespace rw::app {

// The DPI of `window`'s monitor; with no window, or none known, the screen's.
int32_t windowDpi(HWND window);
// The window rectangle around a client area of clientWidth x clientHeight
// at (0, 0), with the frame drawn at `dpi`.
RECT outerRectForDpi(int32_t clientWidth, int32_t clientHeight, DWORD style, int32_t dpi);

}  // namespace rw::app
