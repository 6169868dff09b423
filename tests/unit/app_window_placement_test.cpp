#include <gtest/gtest.h>

#include "app/window_placement.h"

namespace rw::app {
namespace {

// Centred across, 40 % of the free height above, each half truncated on its own.
TEST(WindowPlacement, TruncationAndSaturation) {
    const struct {
        IntRect window, work;
        int32_t x, y;
    } rows[] = {
        {{-3, -26, 283, 412}, {0, 0, 1920, 1040}, 817, 240},
        {{0, 0, 287, 438}, {100, 0, 1465, 1040}, 100 + 682 - 143, 240},  // not (1365 - 287) / 2
        {{0, 0, 286, 438}, {0, 50, 800, 450}, 257, 50 - 15},             // shorter: starts above the area
        {{0, 0, 286, 438}, {0, 0, 800, 437}, 257, 0},                    // trunc(-0.4) is 0
    };
    for (const auto& r : rows) {
        const WindowPlacement p = placeWindow(r.window, r.work);
        EXPECT_EQ(std::pair(p.x, p.y), std::pair(r.x, r.y));
    }
    const WindowPlacement p = placeWindow(IntRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
                                          IntRect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN});
    EXPECT_EQ(p.width, INT32_MAX);
    EXPECT_EQ(p.height, INT32_MAX);
}

}  // namespace
}  // namespace rw::app
