// Every input that once broke something (a fuzzer's crasher, a malformed demo)
// is replayed here, in the ordinary sanitized build, through the entry its fuzz
// target feeds: tests/data/crashers/<target name>/*.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "analysis/demo_walk.h"
#include "fuzz_entries.h"
#include "temp_dir.h"

namespace rw {
namespace {

const std::filesystem::path kCrashers = std::filesystem::path(RW_SOURCE_DIR) / "tests" / "data" / "crashers";

TEST(Crashers, ReplayWithoutFault) {
    size_t replayed = 0;
    for (const fuzz::Target& target : fuzz::targets()) {
        if (!std::filesystem::is_directory(kCrashers / target.name)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(kCrashers / target.name)) {
            const std::vector<uint8_t> bytes = test::readAll(entry.path());
            SCOPED_TRACE(entry.path().string());
            target.run(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GE(replayed, 6u) << "the regression files are missing";
}

// What the walk makes of the malformed demos (tools/make_walk_regressions.py).
TEST(Crashers, MalformedDemosWalkToTheirOutcome) {
    const struct {
        const char* file;
        int32_t status;
        const wchar_t *message, *player, *average;
    } rows[] = {
        {"buffer_frame_lengths.dem", 100, L"", L"", L"--"},
        {"startup_length_4gib.dem", -2, L"Error reading demo at Pos: 4294968316 with Offset: 4294967295", L"Big", L"--"},
        {"cut_network_frame.dem", -2, L"Error reading demo at Pos: 1233 with Offset: 3", L"", L"--"},
        {"zero_msec_frames.dem", 100, L"", L"", L"0.00"},
        {"network_length_past_end.dem", -2, L"Error reading demo at Pos: 2147484677 with Offset: 2147483647", L"", L"--"},
    };
    struct Walk {
        CheckResult result;
        std::vector<int32_t> statuses;
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        Walk w;
        w.result.repaint = {[](void* self) {
                                auto* x = static_cast<Walk*>(self);
                                x->statuses.push_back(x->result.status());
                            },
                            &w};
        checkDemoFile(kCrashers / "demo_walk" / r.file, false, nullptr, w.result);
        EXPECT_EQ(w.result.status(), r.status);
        EXPECT_EQ(w.result.messageText.view(), r.message);
        EXPECT_EQ(w.result.playerName.view(), r.player);
        if (r.average != std::wstring_view(L"--")) {
            EXPECT_EQ(w.result.averageFpsText.view(), r.average);
        }
        // Progress stays within 1..99 until the end, even past the end of the file.
        ASSERT_GE(w.statuses.size(), 2u);
        for (size_t k = 0; k + 1 < w.statuses.size(); ++k) EXPECT_TRUE(w.statuses[k] >= 1 && w.statuses[k] <= 99);
    }
}

}  // namespace
}  // namespace rw
