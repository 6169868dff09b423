#include <gtest/gtest.h>

#include <optional>

#include "app/fade_line.h"

namespace rw::app {
namespace {

// The ends of the fade, the plain middle, and the columns it leaves alone.
TEST(FadeLine, EndsMiddleAndEdges) {
    const struct {
        int32_t x, n, width;
        Rgb colour;
        std::optional<uint8_t> red;
    } rows[] = {
        {0, 80, 280, colour::black, 252},      {78, 80, 280, colour::black, 4},  {79, 80, 280, colour::black, 0},
        {199, 80, 280, colour::black, 0},      {200, 80, 280, colour::black, 4}, {278, 80, 280, colour::black, 252},
        {279, 80, 280, colour::black, {}},     {-1, 80, 280, colour::black, {}},
        {39, 40, 280, colour::innerLine, 174}, {240, 40, 280, colour::innerLine, 177},
        {419, 120, 420, colour::black, {}},    {418, 120, 420, colour::black, 253},
    };
    for (const auto& r : rows) {
        const std::optional<Rgb> p = fadeLinePixel(r.x, r.n, r.colour, r.width);
        EXPECT_EQ(p ? std::optional<uint8_t>(p->r) : std::nullopt, r.red) << r.x << " of " << r.width;
    }
    // Each component fades on its own.
    EXPECT_EQ(fadeLinePixel(0, 80, Rgb{200, 0, 100}).value(), (Rgb{255, 252, 254}));
}

}  // namespace
}  // namespace rw::app
