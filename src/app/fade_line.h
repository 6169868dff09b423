#pragma once
// A separator line across the panel that fades to white over n pixels at each
// end.
#include <cstdint>
#include <optional>

#include "app/panel_colour.h"

namespace rw::app {

// One colour component of column x of a line of colour component c fading
// over n (at least 1) pixels, on a panel `width` pixels wide.
uint8_t fadeLineComponent(int32_t x, int32_t n, uint8_t c, int32_t width = kPanelWidth);
// The pixel the line puts at column x, or none outside columns 0 to
// width - 2: the panel's last column is left as it was.
std::optional<Rgb> fadeLinePixel(int32_t x, int32_t n, Rgb colour, int32_t width = kPanelWidth);

}  // namespace rw::app
