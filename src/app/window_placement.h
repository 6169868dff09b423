#pragma once
// Where the main window opens: centred across the work area, with 40 % of the
// free height above it.
#include <cstdint>

namespace rw::app {

struct IntRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct WindowPlacement {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// outer: the client rectangle enlarged for the window's style; workArea: the
// desktop less the taskbar. A window taller than the work area starts above it
// by 40 % of the excess.
WindowPlacement placeWindow(const IntRect& outer, const IntRect& workArea);

}  // namespace rw::app
