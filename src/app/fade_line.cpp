#include "app/fade_line.h"

namespace rw::app {

uint8_t fadeLineComponent(int32_t x, int32_t n, uint8_t c) {
    if (n < 1) n = 1;
    const int32_t span = 255 - c;
    if (x <= n - 2) return static_cast<uint8_t>(255 - ((x + 1) * span) / n);
    if (x >= kPanelWidth - n) return static_cast<uint8_t>(255 - ((kPanelWidth - 1 - x) * span) / n);
    return c;
}

std::optional<Rgb> fadeLinePixel(int32_t x, int32_t n, Rgb colour) {
    if (x < 0 || x > kFadeLineLastColumn) return std::nullopt;
    return Rgb{fadeLineComponent(x, n, colour.r), fadeLineComponent(x, n, colour.g),
               fadeLineComponent(x, n, colour.b)};
}

}  // namespace rw::app
