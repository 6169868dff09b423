#include <gtest/gtest.h>

#include <tuple>

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

// A press and its release must both be on the link to open it; moves on it show the hand once;
// leaving the window drops the hover whatever lParam says.
TEST_F(ProfileLinkTest, PressAndReleaseOnTheLinkOpenIt) {
    using namespace mouse_message;
    const struct {
        uint32_t message;
        uint64_t lParam;
        bool hand, open, hovered;
    } steps[] = {
        {move, at(100, 190), true, false, true},      {move, at(110, 190), false, false, true},  // entering, on
        {leftDown, at(100, 190), false, false, true},  {leftUp, at(5, 5), false, false, true},    // released elsewhere
        {leftDown, at(5, 5), false, false, true},      {leftUp, at(100, 190), false, false, true}, // pressed elsewhere
        {leftDown, at(100, 190), false, false, true},  {leftUp, at(101, 191), false, true, false}, // both on the link
        {move, at(100, 190), true, false, true},       {leave, at(100, 190), false, false, false},
    };
    for (const auto& s : steps) {
        bool notClaimed = true;
        const LinkMouseEffects e = handleLinkMouse(link_, s.message, s.lParam, notClaimed);
        EXPECT_EQ((std::tuple{e.showHand, e.openAddress, link_.hovered}), (std::tuple{s.hand, s.open, s.hovered}))
            << &s - steps;
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
}

}  // namespace
}  // namespace rw::app
