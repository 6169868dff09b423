#include <gtest/gtest.h>

#include "app/fade_line.h"

namespace rw::app {
namespace {

uint8_t red(int32_t x, int32_t n, Rgb c) { return fadeLinePixel(x, n, c).value().r; }

TEST(FadeLine, BlackOverEightyPixels) {
    EXPECT_EQ(red(0, 80, colour::black), 252);
    EXPECT_EQ(red(78, 80, colour::black), 4);
    for (int32_t x = 79; x <= 199; ++x) EXPECT_EQ(red(x, 80, colour::black), 0) << x;
    EXPECT_EQ(red(200, 80, colour::black), 4);
    EXPECT_EQ(red(278, 80, colour::black), 252);
}

TEST(FadeLine, GreyOverFortyPixelsIsSymmetricAndEqualPerComponent) {
    EXPECT_EQ(red(0, 40, colour::innerLine), 253);
    EXPECT_EQ(red(38, 40, colour::innerLine), 177);
    EXPECT_EQ(red(39, 40, colour::innerLine), 174);
    EXPECT_EQ(red(240, 40, colour::innerLine), 177);  // mirror of 38
    for (int32_t x = 0; x <= 278; ++x) {
        const Rgb p = fadeLinePixel(x, 40, colour::innerLine).value();
        EXPECT_EQ(p, (Rgb{p.r, p.r, p.r}));
        EXPECT_EQ(p, fadeLinePixel(278 - x, 40, colour::innerLine).value()) << x;
    }
}

TEST(FadeLine, EachComponentFadesOnItsOwn) {
    const Rgb p = fadeLinePixel(0, 80, Rgb{200, 0, 100}).value();
    EXPECT_EQ(p, (Rgb{255 - 55 / 80, 252, 255 - 155 / 80}));
}

TEST(FadeLine, LeavesTheLastColumnAlone) {
    EXPECT_FALSE(fadeLinePixel(279, 80, colour::black));
    EXPECT_FALSE(fadeLinePixel(-1, 80, colour::black));
    // A panel 420 wide at 144 DPI: the right end mirrors the left.
    EXPECT_FALSE(fadeLinePixel(419, 120, colour::black, 420));
    EXPECT_EQ(fadeLinePixel(418, 120, colour::black, 420), fadeLinePixel(0, 120, colour::black, 420));
    EXPECT_EQ(fadeLinePixel(300, 120, colour::black, 420)->r, 3);
    for (int32_t x = 119; x <= 299; ++x) EXPECT_EQ(fadeLinePixel(x, 120, colour::black, 420)->r, 0) << x;
}

}  // namespace
}  // namespace rw::app
