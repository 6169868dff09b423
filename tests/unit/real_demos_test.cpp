#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/demo_walk.h"

namespace rw {
namespace {

const std::filesystem::path kDemos = RW_REAL_DEMOS;

struct RealCheck {
    CheckResult result;
    std::vector<int32_t> statuses;
};

void checkReal(const char* name, RealCheck& c) {
    c.result.repaint.fn = [](void* self) {
        auto* rc = static_cast<RealCheck*>(self);
        rc->statuses.push_back(rc->result.status());
    };
    c.result.repaint.context = &c;
    checkDemoFile(kDemos / name, false, nullptr, c.result);
    ASSERT_FALSE(c.statuses.empty());
    for (size_t k = 0; k + 1 < c.statuses.size(); ++k) {
        EXPECT_TRUE(c.statuses[k] >= 1 && c.statuses[k] <= 99) << c.statuses[k];
    }
}

void expectAllSettingsCorrect(const CheckResult& r) {
    for (const WideText& line : r.settingsLines)
        EXPECT_TRUE(line.empty()) << std::string(line.view().begin(), line.view().end());
}

// A recorded Counter-Strike game, walked to the directory at the end of the
// file, whose entry count (2) reads as the second start marker.
TEST(RealDemos, CrossfireFinishes) {
    RealCheck c;
    checkReal("cstrike_crossfire_weapon.dem", c);
    ASSERT_EQ(c.result.status(), 100) << std::string(c.result.messageText.view().begin(),
                                                     c.result.messageText.view().end());
    EXPECT_EQ(c.result.mapName.view(), L"crossfire");
    EXPECT_EQ(c.result.mapKeyView(), "crossfire");
    EXPECT_EQ(c.result.playerName.view(), L"Player");
    ASSERT_EQ(c.result.steamId.valid, 1);
    EXPECT_EQ(std::string(c.result.steamId.digits.data()), "76561198197760246");
    EXPECT_EQ(c.result.steamId.text.view(), L"STEAM_0:0:118747259");
    // 733 frames of 10 ms and 3 of 11 ms after the start marker.
    EXPECT_EQ(c.result.averageFpsText.view(), L"99.95");
    EXPECT_EQ(c.result.runTimeText.view(), L"--:--.--");
    expectAllSettingsCorrect(c.result);
}

TEST(RealDemos, HalfLifeSinglePlayerFinishes) {
    RealCheck c;
    checkReal("valve_c1a0_basic.dem", c);
    ASSERT_EQ(c.result.status(), 100);
    EXPECT_EQ(c.result.mapName.view(), L"c1a0");
    ASSERT_EQ(c.result.steamId.valid, 1);
    EXPECT_EQ(std::string(c.result.steamId.digits.data()), "76561197990048230");
    EXPECT_EQ(c.result.steamId.text.view(), L"STEAM_0:0:14891251");
    // 288 frames of 10 ms and one of 16 ms.
    EXPECT_EQ(c.result.averageFpsText.view(), L"99.86");
    expectAllSettingsCorrect(c.result);
}

TEST(RealDemos, OnlineGameIsRefused) {
    RealCheck c;
    checkReal("valve_stalkyard_hldm.dem", c);
    EXPECT_EQ(c.result.status(), -2);
    EXPECT_EQ(c.result.messageText.view(), L"Demo was not recorded on lan server!");
}

// The directory of this crafted file counts one entry, which reads as a
// network frame cut by the end of the file.
TEST(RealDemos, CraftedFrameTypesEndWithAReadError) {
    RealCheck c;
    checkReal("valve_c1a0_frame-types_crafted.dem", c);
    EXPECT_EQ(c.result.status(), -2);
    EXPECT_EQ(c.result.messageText.view(), L"Error reading demo at Pos: 1882 with Offset: 0");
}

TEST(RealDemos, CraftedMessageLengthPastTheEnd) {
    RealCheck c;
    checkReal("valve_c1a0_invalid-netmsg-length_crafted.dem", c);
    EXPECT_EQ(c.result.status(), -2);
    EXPECT_EQ(c.result.messageText.view(), L"Error reading demo at Pos: 16778236 with Offset: 16777215");
}

}  // namespace
}  // namespace rw
