#pragma once
// The SteamID text of the result panel as a link to the player's profile page.
#include <windows.h>

#include <string_view>

#include "app/profile_link_state.h"

namespace rw::app {

class ProfileLink {
public:
    void init(HFONT normalFont, HFONT hoverFont);
    // New fonts (another DPI); the text is measured in them at the next paint.
    void setFonts(HFONT normalFont, HFONT hoverFont);
    void setText(std::wstring_view text);
    void setPlace(int32_t x, int32_t y);
    void setAddress(std::wstring_view address);
    // Every window message passes here first; see handleLinkMouse.
    void handleMouse(HWND window, UINT message, LPARAM lParam, bool& notClaimed);
    void draw(HDC dc) const;
    const ProfileLinkState& state() const { return state_; }

private:
    ProfileLinkState state_;
    HFONT normalFont_ = nullptr;
    HFONT hoverFont_ = nullptr;
};

}  // namespace rw::app
