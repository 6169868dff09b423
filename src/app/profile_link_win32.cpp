#include "app/profile_link_win32.h"

#include <shellapi.h>

#include "app/gdi_objects_win32.h"

namespace rw::app {

void ProfileLink::init(HFONT normalFont, HFONT hoverFont) {
    setFonts(normalFont, hoverFont);
    initLink(state_);
}

void ProfileLink::setFonts(HFONT normalFont, HFONT hoverFont) {
    normalFont_ = normalFont;
    hoverFont_ = hoverFont;
}

void ProfileLink::setText(std::wstring_view text) {
    if (!setLinkText(state_, text) || state_.text.empty()) return;
    const ScreenDc screen(GetDC(nullptr));
    const SIZE extent = textExtent(screen.get(), normalFont_, state_.text.view());
    state_.width = extent.cx;
    state_.height = extent.cy;
}

void ProfileLink::setPlace(int32_t x, int32_t y) { setLinkPlace(state_, x, y); }

void ProfileLink::setAddress(std::wstring_view address) { setLinkAddress(state_, address); }

void ProfileLink::handleMouse(HWND window, UINT message, LPARAM lParam, bool& notClaimed) {
    const LinkMouseEffects effects =
        handleLinkMouse(state_, message, static_cast<uint64_t>(static_cast<ULONG_PTR>(lParam)), notClaimed);
    if (effects.showHand) {
        const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
        SetClassLongPtrW(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(hand));
        SetCursor(hand);
    }
    if (effects.repaint) InvalidateRect(window, nullptr, FALSE);
    if (effects.openAddress) {
        // The browser's answer is not examined; the link stays as it is.
        ShellExecuteW(nullptr, L"open", state_.address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

void ProfileLink::draw(HDC dc) const {
    const COLORREF oldColour = SetTextColor(dc, RGB(state_.colour.r, state_.colour.g, state_.colour.b));
    ScopedSelect font(dc, state_.hovered ? hoverFont_ : normalFont_);
    TextOutW(dc, state_.x, state_.y, state_.text.c_str(), static_cast<int>(state_.text.size()));
    SetTextColor(dc, oldColour);
}

}  // namespace rw::app
