#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/demo_walk.h"

// Malformed demos that once broke the walk, written by tools/make_walk_regressions.py.
namespace rw {
namespace {

const std::filesystem::path kData = std::filesystem::path(RW_SOURCE_DIR) / "tests" / "data" / "walk";

struct Walked {
    CheckResult result;
    std::vector<int32_t> statuses;
};

void walk(const char* name, Walked& w) {
    w.result.repaint = {[](void* self) {
                            auto* x = static_cast<Walked*>(self);
                            x->statuses.push_back(x->result.status());
                        },
                        &w};
    ASSERT_TRUE(std::filesystem::exists(kData / name)) << name;
    checkDemoFile(kData / name, false, nullptr, w.result);
    for (size_t k = 0; k + 1 < w.statuses.size(); ++k) {
        EXPECT_TRUE(w.statuses[k] >= 1 && w.statuses[k] <= 99) << name << ": " << w.statuses[k];
    }
}

TEST(WalkRegressions, BufferFramesOfEveryLength) {
    Walked w;
    walk("buffer_frame_lengths.dem", w);
    EXPECT_EQ(w.result.status(), 100);
}

TEST(WalkRegressions, StartupLengthOfFourGibIsNotAllocated) {
    Walked w;
    walk("startup_length_4gib.dem", w);
    EXPECT_EQ(w.result.messageText.view(), L"Error reading demo at Pos: 4294968316 with Offset: 4294967295");
    EXPECT_EQ(w.result.playerName.view(), L"Big");
}

TEST(WalkRegressions, FileEndingInsideAFrame) {
    Walked w;
    walk("cut_network_frame.dem", w);
    EXPECT_EQ(w.result.messageText.view(), L"Error reading demo at Pos: 1233 with Offset: 3");
}

TEST(WalkRegressions, ZeroMsecFramesHaveNoRate) {
    Walked w;
    walk("zero_msec_frames.dem", w);
    EXPECT_EQ(w.result.status(), 100);
    EXPECT_EQ(w.result.averageFpsText.view(), L"0.00");
}

TEST(WalkRegressions, LongNameAndCutSteamId) {
    Walked w;
    walk("long_name_short_sid.dem", w);
    EXPECT_EQ(w.result.status(), 100);
    EXPECT_EQ(w.result.playerName.view(), std::wstring(259, L'N'));
    EXPECT_EQ(std::string(w.result.steamId.digits.data()), "76561");
    EXPECT_EQ(w.result.steamId.text.view(), L"STEAM_0:1:38280");
}

TEST(WalkRegressions, ProgressStaysBelowFinishedPastTheEnd) {
    Walked w;
    walk("network_length_past_end.dem", w);
    EXPECT_EQ(w.result.messageText.view(), L"Error reading demo at Pos: 2147484677 with Offset: 2147483647");
    EXPECT_GE(w.statuses.size(), 2u);
}

}  // namespace
}  // namespace rw
