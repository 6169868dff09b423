// Every input that once broke something (a fuzzer's crasher, a malformed demo)
// is replayed here, in the ordinary sanitized build, through the entry its fuzz
// target feeds: tests/data/crashers/<target name>/*.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/demo_walk.h"
#include "demo_builder.h"
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

// What the walk makes of the malformed demos (tools/make_walk_regressions.py);
// progress stays below finished until the end, even past the end of the file.
TEST(Crashers, MalformedDemosWalkToTheirOutcome) {
    const struct {
        const char* file;
        int32_t status;
        const wchar_t *message, *player = L"", *average = nullptr;
    } rows[] = {
        {"buffer_frame_lengths.dem", 100, L""},
        {"startup_length_4gib.dem", -2, L"Error reading demo at Pos: 4294968316 with Offset: 4294967295", L"Big"},
        {"cut_network_frame.dem", -2, L"Error reading demo at Pos: 1233 with Offset: 3"},
        {"zero_msec_frames.dem", 100, L"", L"", L"0.00"},
        {"network_length_past_end.dem", -2, L"Error reading demo at Pos: 2147484677 with Offset: 2147483647"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        test::RecordedCheck c;
        checkDemoFile(kCrashers / "demo_walk" / r.file, false, nullptr, c.result);
        EXPECT_EQ(c.result.status(), r.status);
        EXPECT_EQ(c.result.messageText.view(), r.message);
        EXPECT_EQ(c.result.playerName.view(), r.player);
        EXPECT_EQ(c.result.averageFpsText.view(), r.average ? r.average : c.result.averageFpsText.view());
        EXPECT_GE(c.statuses.size(), 2u);
        EXPECT_TRUE(c.onlyProgressBeforeTheEnd());
    }
}

}  // namespace
}  // namespace rw
