#include <gtest/gtest.h>

#include "app/window_placement.h"

namespace rw::app {
namespace {

TEST(WindowPlacement, CentresAcrossAndPutsFortyPercentOfTheFreeHeightAbove) {
    const WindowPlacement p = placeWindow(IntRect{-3, -26, 283, 412}, IntRect{0, 0, 1920, 1040});
    EXPECT_EQ(p.width, 286);
    EXPECT_EQ(p.height, 438);
    EXPECT_EQ(p.x, 817);
    EXPECT_EQ(p.y, 240);  // trunc(0.4 * 602)
}

TEST(WindowPlacement, TruncatesEachHalfOnItsOwn) {
    // 1365 / 2 = 682 and 287 / 2 = 143, not (1365 - 287) / 2 = 539.
    const WindowPlacement p = placeWindow(IntRect{0, 0, 287, 438}, IntRect{100, 0, 1465, 1040});
    EXPECT_EQ(p.x, 100 + 682 - 143);
    const WindowPlacement odd = placeWindow(IntRect{0, 0, 285, 437}, IntRect{0, 30, 1023, 767});
    EXPECT_EQ(odd.x, 511 - 142);
    EXPECT_EQ(odd.y, 30 + 120);  // trunc(0.4 * 300)
}

TEST(WindowPlacement, WorkAreaShorterThanTheWindowStartsAboveIt) {
    // Free height -38: the top lies trunc(0.4 * 38) = 15 above the work area.
    const WindowPlacement p = placeWindow(IntRect{0, 0, 286, 438}, IntRect{0, 50, 800, 450});
    EXPECT_EQ(p.y, 50 - 15);
    const WindowPlacement q = placeWindow(IntRect{0, 0, 286, 438}, IntRect{0, 0, 800, 437});
    EXPECT_EQ(q.y, 0);  // trunc(-0.4) is 0
}

TEST(WindowPlacement, ExtremeRectanglesSaturateInsteadOfOverflowing) {
    const WindowPlacement p =
        placeWindow(IntRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, IntRect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN});
    EXPECT_EQ(p.width, INT32_MAX);
    EXPECT_EQ(p.height, INT32_MAX);
}

}  // namespace
}  // namespace rw::app
