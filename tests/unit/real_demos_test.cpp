#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/demo_walk.h"

namespace rw {
namespace {

// Recorded games and crafted files from public demo-parser projects' test data.
TEST(RealDemos, Measurements) {
    const struct {
        const char* file;
        int32_t status;
        const wchar_t *message, *map, *player, *steamId, *average;
    } rows[] = {
        // Walked to the directory at the end of the file, whose entry count (2)
        // reads as the second start marker. 733 frames of 10 ms and 3 of 11 ms.
        {"cstrike_crossfire_weapon.dem", 100, L"", L"crossfire", L"Player", L"STEAM_0:0:118747259", L"99.95"},
        // 288 frames of 10 ms and one of 16 ms.
        {"valve_c1a0_basic.dem", 100, L"", L"c1a0", nullptr, L"STEAM_0:0:14891251", L"99.86"},
        {"valve_stalkyard_hldm.dem", -2, L"Demo was not recorded on lan server!", nullptr, nullptr, nullptr, nullptr},
        // The directory counts one entry, which reads as a network frame cut by the end of the file.
        {"valve_c1a0_frame-types_crafted.dem", -2, L"Error reading demo at Pos: 1882 with Offset: 0", nullptr, nullptr,
         nullptr, nullptr},
        {"valve_c1a0_invalid-netmsg-length_crafted.dem", -2,
         L"Error reading demo at Pos: 16778236 with Offset: 16777215", nullptr, nullptr, nullptr, nullptr},
    };
    struct Real {
        CheckResult result;
        std::vector<int32_t> statuses;
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        Real c;
        c.result.repaint = {[](void* self) {
                                auto* x = static_cast<Real*>(self);
                                x->statuses.push_back(x->result.status());
                            },
                            &c};
        checkDemoFile(std::filesystem::path(RW_REAL_DEMOS) / r.file, false, nullptr, c.result);
        ASSERT_FALSE(c.statuses.empty());
        for (size_t k = 0; k + 1 < c.statuses.size(); ++k) EXPECT_TRUE(c.statuses[k] >= 1 && c.statuses[k] <= 99);
        EXPECT_EQ(c.result.status(), r.status);
        EXPECT_EQ(c.result.messageText.view(), r.message);
        if (r.map) {
            EXPECT_EQ(c.result.mapName.view(), r.map);
        }
        if (r.player) {
            EXPECT_EQ(c.result.playerName.view(), r.player);
        }
        if (r.steamId) {
            EXPECT_EQ(c.result.steamId.text.view(), r.steamId);
        }
        if (r.average) {
            EXPECT_EQ(c.result.averageFpsText.view(), r.average);
        }
        if (r.status != 100) continue;
        EXPECT_EQ(c.result.runTimeText.view(), L"--:--.--");
        for (const WideText& line : c.result.settingsLines) EXPECT_TRUE(line.empty());
    }
}

}  // namespace
}  // namespace rw
