#pragma once
// The state of the clickable SteamID text and how pointer messages move it.
// The Win32 ProfileLink carries out the effects (cursor, repaint, browser).
#include <cstdint>
#include <string_view>

#include "app/panel_colour.h"
#include "base/wide_text.h"

namespace rw::app {

namespace mouse_message {
inline constexpr uint32_t move = 0x0200;        // WM_MOUSEMOVE
inline constexpr uint32_t leftDown = 0x0201;    // WM_LBUTTONDOWN
inline constexpr uint32_t leftUp = 0x0202;      // WM_LBUTTONUP
inline constexpr uint32_t leave = 0x02A3;       // WM_MOUSELEAVE
}  // namespace mouse_message

struct ProfileLinkState {
    Rgb colour;
    bool pressed = false;
    bool hovered = false;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;   // extent of the text in the normal font
    int32_t height = 0;
    WideText text;
    WideText address;
    bool initialised = false;
};

void initLink(ProfileLinkState& link);
// True when the text changed, so the caller measures it again.
bool setLinkText(ProfileLinkState& link, std::wstring_view text);
void setLinkPlace(ProfileLinkState& link, int32_t x, int32_t y);
void setLinkAddress(ProfileLinkState& link, std::wstring_view address);

// The half-open rectangle from (x, y) to (x + width, y + height).
bool linkContains(const ProfileLinkState& link, int64_t px, int64_t py);

struct LinkMouseEffects {
    bool showHand = false;     // make the hand the class cursor and show it now
    bool repaint = false;      // invalidate the window
    bool openAddress = false;  // open `address` in the browser
};

// Called for every window message. The pointer is read from lParam: x from
// its low 16 bits, y from the next 16, both unsigned. Clears notClaimed when
// the message falls on the link. A leave notice means the pointer is off
// the window, wherever lParam says.
LinkMouseEffects handleLinkMouse(ProfileLinkState& link, uint32_t message, uint64_t lParam, bool& notClaimed);

}  // namespace rw::app
