#include "app/window_placement.h"

#include <algorithm>
#include <limits>

namespace rw::app {
namespace {

// The system's rectangles are sane, but nothing here may overflow even if not.
int32_t saturate(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

}  // namespace

WindowPlacement placeWindow(const IntRect& outer, const IntRect& workArea) {
    const int64_t width = int64_t{outer.right} - outer.left;
    const int64_t height = int64_t{outer.bottom} - outer.top;
    // Each half is truncated on its own, as the integer divisions do.
    const int64_t x = workArea.left + (int64_t{workArea.right} - workArea.left) / 2 - width / 2;
    const int64_t freeHeight = int64_t{workArea.bottom} - workArea.top - height;
    // trunc(A * -0.4) subtracted: the same as adding trunc(0.4 * A).
    const auto offset = static_cast<int64_t>(static_cast<double>(freeHeight) * -0.4);
    const int64_t y = workArea.top - offset;
    return WindowPlacement{saturate(x), saturate(y), saturate(width), saturate(height)};
}

}  // namespace rw::app
