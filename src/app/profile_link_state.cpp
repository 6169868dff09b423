#include "app/profile_link_state.h"

namespace rw::app {

void initLink(ProfileLinkState& link) {
    link.colour = colour::profileLink;
    link.pressed = false;
    link.hovered = false;
    link.x = 0;
    link.y = 0;
    link.width = 0;
    link.height = 0;
    link.text.clear();
    link.address.clear();
    link.initialised = true;
}

bool setLinkText(ProfileLinkState& link, std::wstring_view text) {
    if (text.size() > kTextCapacity - 1) text = text.substr(0, kTextCapacity - 1);
    if (link.text.view() == text) return false;
    link.text.assign(text);
    if (text.empty()) {
        // Nothing to measure: an empty text has no area.
        link.width = 0;
        link.height = 0;
    }
    return true;
}

void setLinkPlace(ProfileLinkState& link, int32_t x, int32_t y) {
    link.x = x;
    link.y = y;
}

void setLinkAddress(ProfileLinkState& link, std::wstring_view address) {
    if (link.address.view() != address) link.address.assign(address);
}

bool linkContains(const ProfileLinkState& link, int64_t px, int64_t py) {
    return link.x <= px && px < int64_t{link.x} + link.width && link.y <= py && py < int64_t{link.y} + link.height;
}

LinkMouseEffects handleLinkMouse(ProfileLinkState& link, uint32_t message, uint64_t lParam, bool& notClaimed) {
    LinkMouseEffects effects;
    if (!link.initialised) return effects;
    if (message != mouse_message::move && message != mouse_message::leftDown && message != mouse_message::leftUp &&
        message != mouse_message::leave)
        return effects;

    const int64_t px = static_cast<int64_t>(lParam & 0xFFFF);
    const int64_t py = static_cast<int64_t>((lParam >> 16) & 0xFFFF);
    const bool onLink = message != mouse_message::leave && notClaimed && linkContains(link, px, py);
    if (onLink) notClaimed = false;

    switch (message) {
        case mouse_message::move:
        case mouse_message::leave:
            if (onLink && !link.hovered) {
                link.hovered = true;
                effects.showHand = true;
                effects.repaint = true;
            } else if (!onLink && link.hovered) {
                link.hovered = false;
                effects.repaint = true;
            }
            break;
        case mouse_message::leftDown:
            link.pressed = onLink;
            break;
        case mouse_message::leftUp:
            if (onLink && link.pressed) {
                // The underline goes with the hover, not at some later paint.
                effects.repaint = link.hovered;
                link.hovered = false;
                effects.openAddress = !link.address.empty();
            }
            break;
        default:
            break;
    }
    return effects;
}

}  // namespace rw::app
