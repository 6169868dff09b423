#include "app/fade_line.h"

namespace rw::app {

uint8_t fadeLineComponent(int32_t x, int32_t n, uint8_t c, int32_t width) {
    if (n < 1) n = 1;
    const int32_t span = 255 - c;
    if (x <= n - 2) return static_cast<uint8_t>(255 - ((x + 1) * span) / n);
    if (x >= width - n) return static_cast<uint8_t>(255 - ((width - 1 - x) * span) / n);
    return c;
}

std::optional<Rgb> fadeLinePixel(int32_t x, int32_t n, Rgb colour, int32_t width) {
    if (x < 0 || x > width - 2) return std::nullopt;
    return Rgb{fadeLineComponent(x, n, colour.r, width), fadeLineComponent(x, n, colour.g, width),
               fadeLineComponent(x, n, colour.b, width)};
}

}  // namespace rw::app
