#include <gtest/gtest.h>

#include "app/profile_link_state.h"

namespace rw::app {
namespace {

uint64_t at(uint32_t x, uint32_t y) { return (uint64_t{y} << 16) | x; }

class ProfileLinkTest : public ::testing::Test {
protected:
    ProfileLinkTest() {
        initLink(link_);
        setLinkPlace(link_, 97, 184);
        setLinkText(link_, L"STEAM_0:0:19867136");
        link_.width = 120;  // measured by the window side
        link_.height = 19;
        setLinkAddress(link_, L"http://example.test/profiles/76561198000000000");
    }
    LinkMouseEffects send(uint32_t message, uint64_t lParam, bool* claimed = nullptr) {
        bool notClaimed = true;
        LinkMouseEffects e = handleLinkMouse(link_, message, lParam, notClaimed);
        if (claimed) *claimed = !notClaimed;
        return e;
    }
    ProfileLinkState link_;
};

TEST_F(ProfileLinkTest, AreaIsHalfOpen) {
    EXPECT_TRUE(linkContains(link_, 97, 184));
    EXPECT_TRUE(linkContains(link_, 216, 202));
    EXPECT_FALSE(linkContains(link_, 217, 190));
    EXPECT_FALSE(linkContains(link_, 100, 203));
    EXPECT_FALSE(linkContains(link_, 96, 190));
    EXPECT_FALSE(linkContains(link_, 100, 183));
}

TEST_F(ProfileLinkTest, EmptyTextHasNoArea) {
    setLinkPlace(link_, 0, 0);
    EXPECT_TRUE(setLinkText(link_, L""));
    EXPECT_FALSE(linkContains(link_, 0, 0));
    bool claimed = true;
    EXPECT_FALSE(send(mouse_message::move, at(0, 0), &claimed).showHand);
    EXPECT_FALSE(claimed);
    // Only a changed text needs a new measure.
    EXPECT_FALSE(setLinkText(link_, L""));
    EXPECT_TRUE(setLinkText(link_, L"STEAM_0:1:19867136"));
}

TEST_F(ProfileLinkTest, HoverShowsTheHandOnceAndLeavingRepaints) {
    bool claimed = false;
    LinkMouseEffects e = send(mouse_message::move, at(100, 190), &claimed);
    EXPECT_TRUE(claimed);
    EXPECT_TRUE(e.showHand);
    EXPECT_TRUE(e.repaint);
    EXPECT_TRUE(link_.hovered);

    e = send(mouse_message::move, at(110, 190), &claimed);
    EXPECT_TRUE(claimed);
    EXPECT_FALSE(e.showHand);
    EXPECT_FALSE(e.repaint);

    e = send(mouse_message::move, at(10, 10), &claimed);
    EXPECT_FALSE(claimed);
    EXPECT_TRUE(e.repaint);
    EXPECT_FALSE(link_.hovered);
    EXPECT_FALSE(send(mouse_message::move, at(10, 11)).repaint);
}

TEST_F(ProfileLinkTest, LeaveNoticeLandsOutsideEverything) {
    send(mouse_message::move, at(100, 190));
    // The window turns WM_MOUSELEAVE into a move with lParam all ones.
    const LinkMouseEffects e = send(mouse_message::move, 0xFFFFFFFFu);
    EXPECT_TRUE(e.repaint);
    EXPECT_FALSE(link_.hovered);
}

TEST_F(ProfileLinkTest, PressAndReleaseOnTheLinkOpensTheAddress) {
    send(mouse_message::move, at(100, 190));
    EXPECT_FALSE(send(mouse_message::leftDown, at(100, 190)).openAddress);
    EXPECT_TRUE(link_.pressed);
    const LinkMouseEffects e = send(mouse_message::leftUp, at(101, 191));
    EXPECT_TRUE(e.openAddress);
    EXPECT_TRUE(e.repaint);  // the underline goes at once
    EXPECT_FALSE(link_.hovered);
    EXPECT_TRUE(link_.pressed);  // the release does not clear it
    // A double-click is two press-and-release pairs: the address opens twice.
    send(mouse_message::leftDown, at(100, 190));
    EXPECT_TRUE(send(mouse_message::leftUp, at(100, 190)).openAddress);
}

TEST_F(ProfileLinkTest, PressAndReleaseMustBothFallOnTheLink) {
    send(mouse_message::leftDown, at(100, 190));
    EXPECT_FALSE(send(mouse_message::leftUp, at(5, 5)).openAddress);
    send(mouse_message::leftDown, at(5, 5));
    EXPECT_FALSE(link_.pressed);
    EXPECT_FALSE(send(mouse_message::leftUp, at(100, 190)).openAddress);
}

TEST_F(ProfileLinkTest, IgnoresClaimedMessagesAndEverythingUntilInitialised) {
    bool notClaimed = false;
    EXPECT_FALSE(handleLinkMouse(link_, mouse_message::move, at(100, 190), notClaimed).showHand);
    EXPECT_FALSE(link_.hovered);
    ProfileLinkState fresh;
    fresh.width = 500;
    fresh.height = 500;
    notClaimed = true;
    EXPECT_FALSE(handleLinkMouse(fresh, mouse_message::move, at(1, 1), notClaimed).showHand);
    EXPECT_TRUE(notClaimed);
    EXPECT_FALSE(fresh.hovered);
}

TEST_F(ProfileLinkTest, InitResetsEverything) {
    send(mouse_message::move, at(100, 190));
    initLink(link_);
    EXPECT_FALSE(link_.hovered);
    EXPECT_TRUE(link_.text.empty());
    EXPECT_TRUE(link_.address.empty());
    EXPECT_EQ(link_.colour, (Rgb{34, 0, 204}));
    EXPECT_EQ(link_.x, 0);
}

}  // namespace
}  // namespace rw::app
