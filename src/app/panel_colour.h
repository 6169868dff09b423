#pragma once
// Colours of the result panel and the arithmetic of its separator lines and
// translucent bands, kept apart from GDI so it can be checked anywhere.
#include <cstdint>

namespace rw::app {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int32_t kPanelWidth = 280;
inline constexpr int32_t kPanelHeight = 410;

namespace colour {
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb innerLine{174, 174, 174};
inline constexpr Rgb footer{160, 160, 160};
inline constexpr Rgb fpsLow{200, 0, 0};
inline constexpr Rgb fpsGood{0, 100, 0};
inline constexpr Rgb settingsLine{200, 0, 0};
inline constexpr Rgb allCorrectMark{0, 100, 0};
inline constexpr Rgb profileLink{34, 0, 204};
}  // namespace colour

}  // namespace rw::app
