#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "analysis/demo_walk.h"
#include "fuzz_entries.h"
#include "temp_dir.h"

namespace rw {
namespace {

const std::filesystem::path kData = std::filesystem::path(RW_SOURCE_DIR) / "tests" / "data";

// Every input that once broke something (a fuzzer's crasher, a malformed demo)
// is replayed in the ordinary sanitized build through the entry its fuzz
// target feeds: tests/data/crashers/<target name>/*.
TEST(Crashers, ReplayWithoutFault) {
    size_t replayed = 0;
    for (const fuzz::Target& target : fuzz::targets()) {
        if (!std::filesystem::is_directory(kData / "crashers" / target.name)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(kData / "crashers" / target.name)) {
            const std::vector<uint8_t> bytes = test::readAll(entry.path());
            SCOPED_TRACE(entry.path().string());
            target.run(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 6u) << "the regression files are missing";
}

// Recorded games and crafted files from public demo-parser projects' test data
// (demos/), and the malformed demos of tools/make_walk_regressions.py
// (crashers/demo_walk/). Progress stays below finished until the end, even past
// the end of the file.
TEST(RealDemos, Measurements) {
    const struct {
        const char* file;
        int32_t status;
        const wchar_t *message, *map = nullptr, *player = nullptr, *steamId = nullptr, *average = nullptr;
    } rows[] = {
        // Walked to the directory at the end of the file, whose entry count (2)
        // reads as the second start marker. 733 frames of 10 ms and 3 of 11 ms.
        {"demos/cstrike_crossfire_weapon.dem", 100, L"", L"crossfire", L"Player", L"STEAM_0:0:118747259", L"99.95"},
        {"demos/valve_stalkyard_hldm.dem", -2, L"Demo was not recorded on lan server!"},
        {"demos/valve_c1a0_invalid-netmsg-length_crafted.dem", -2,
         L"Error reading demo at Pos: 16778236 with Offset: 16777215"},
        {"crashers/demo_walk/buffer_frame_lengths.dem", 100, L"", L"kz_regression", L""},
        {"crashers/demo_walk/startup_length_4gib.dem", -2,
         L"Error reading demo at Pos: 4294968316 with Offset: 4294967295", nullptr, L"Big"},
        {"crashers/demo_walk/cut_network_frame.dem", -2, L"Error reading demo at Pos: 1233 with Offset: 3"},
        {"crashers/demo_walk/zero_msec_frames.dem", 100, L"", L"kz_regression", L"", L"", L"0.00"},
        {"crashers/demo_walk/network_length_past_end.dem", -2,
         L"Error reading demo at Pos: 2147484677 with Offset: 2147483647"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        struct {
            CheckResult result;
            std::vector<int32_t> statuses;
        } c;
        c.result.repaint = {[](void* self) {
                                auto* recorded = static_cast<decltype(c)*>(self);
                                recorded->statuses.push_back(recorded->result.status());
                            },
                            &c};
        const CheckResult& got = c.result;
        checkDemoFile(kData / r.file, false, nullptr, c.result);
        ASSERT_GE(c.statuses.size(), 2u);
        EXPECT_TRUE(std::all_of(c.statuses.begin(), c.statuses.end() - 1, [](int s) { return s > 0 && s < 100; }));
        EXPECT_EQ(got.status(), r.status);
        EXPECT_EQ(got.messageText.view(), r.message);
        EXPECT_EQ(got.playerName.view(), r.player ? r.player : got.playerName.view());
        if (r.status != 100) continue;
        EXPECT_EQ(got.mapName.view(), r.map);
        EXPECT_EQ(got.steamId.text.view(), r.steamId ? r.steamId : got.steamId.text.view());
        EXPECT_EQ(got.averageFpsText.view(), r.average ? r.average : got.averageFpsText.view());
        EXPECT_EQ(got.runTimeText.view(), L"--:--.--");
        for (const WideText& line : got.settingsLines) EXPECT_TRUE(line.empty());
    }
}

}  // namespace
}  // namespace rw
