#pragma once
// Paints the result panel into the back buffer and copies it to the window.
#include <windows.h>

#include "app/main_window_win32.h"

namespace rw::app {

void paintResultPanel(HWND window, MainWindow& w);

// One separator, fading to white over n pixels at each end; uses the DC pen,
// whose colour is changed per segment.
void drawFadeLine(HDC dc, const FadeLineOp& line);
// A veil of the picture's top-left pixel over rows y to y + height - 1.
void drawBand(HDC dc, HDC pictureDc, int32_t y, int32_t width, int32_t height, const BLENDFUNCTION& blend);

}  // namespace rw::app
