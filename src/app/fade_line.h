#pragma once
// A separator line across the panel that fades to white over n pixels at each
// end.
#include <cstdint>
#include <optional>

#include "app/panel_colour.h"

namespace rw::app {

// The line covers columns 0 to 278; column 279 is left as it was.
inline constexpr int32_t kFadeLineLastColumn = 278;

// One colour component of column x of a line of colour component c fading
// over n (at least 1) pixels.
uint8_t fadeLineComponent(int32_t x, int32_t n, uint8_t c);
// The pixel the line puts at column x, or none outside columns 0 to 278.
std::optional<Rgb> fadeLinePixel(int32_t x, int32_t n, Rgb colour);

}  // namespace rw::app
