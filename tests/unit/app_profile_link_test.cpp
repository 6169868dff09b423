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
    ProfileLinkState link_;
};

TEST_F(ProfileLinkTest, AreaIsHalfOpen) {
    const struct {
        int64_t x, y;
        bool inside;
    } rows[] = {{97, 184, true},   {216, 202, true}, {217, 190, false},
                {100, 203, false}, {96, 190, false}, {100, 183, false}};
    for (const auto& r : rows) EXPECT_EQ(linkContains(link_, r.x, r.y), r.inside) << r.x << "," << r.y;
}

// One pointer history: each step's effects and the state it leaves.
TEST_F(ProfileLinkTest, HoverPressAndRelease) {
    using namespace mouse_message;
    const struct {
        const char* what;
        uint32_t message;
        uint64_t lParam;
        bool claimed, hand, repaint, open, hovered, pressed;
    } steps[] = {
        {"enter: the hand once", move, at(100, 190), true, true, true, false, true, false},
        {"move on the link", move, at(110, 190), true, false, false, false, true, false},
        {"press", leftDown, at(100, 190), true, false, false, false, true, true},
        {"release opens, the underline goes", leftUp, at(101, 191), true, false, true, true, false, true},
        {"press on the link", leftDown, at(100, 190), true, false, false, false, false, true},
        {"release elsewhere", leftUp, at(5, 5), false, false, false, false, false, true},
        {"press elsewhere", leftDown, at(5, 5), false, false, false, false, false, false},
        {"release on the link", leftUp, at(100, 190), true, false, false, false, false, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        bool notClaimed = true;
        const LinkMouseEffects e = handleLinkMouse(link_, s.message, s.lParam, notClaimed);
        EXPECT_EQ(!notClaimed, s.claimed);
        EXPECT_EQ((std::vector{e.showHand, e.repaint, e.openAddress, link_.hovered, link_.pressed}),
                  (std::vector{s.hand, s.repaint, s.open, s.hovered, s.pressed}));
    }
}

TEST_F(ProfileLinkTest, IgnoresClaimedMessagesEmptyTextAndEverythingUntilInitialised) {
    bool notClaimed = false;
    EXPECT_FALSE(handleLinkMouse(link_, mouse_message::move, at(100, 190), notClaimed).showHand);
    ProfileLinkState fresh;
    fresh.width = fresh.height = 500;
    notClaimed = true;
    EXPECT_FALSE(handleLinkMouse(fresh, mouse_message::move, at(1, 1), notClaimed).showHand);
    EXPECT_TRUE(notClaimed);

    setLinkPlace(link_, 0, 0);
    EXPECT_TRUE(setLinkText(link_, L""));
    EXPECT_FALSE(linkContains(link_, 0, 0));
    EXPECT_FALSE(setLinkText(link_, L""));  // only a changed text needs a new measure
    EXPECT_TRUE(setLinkText(link_, L"STEAM_0:1:19867136"));
}

}  // namespace
}  // namespace rw::app
