#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch_check.h"
#include "temp_dir.h"

namespace rw::cli {
namespace {

const std::filesystem::path kSample = std::filesystem::path(RW_SOURCE_DIR) / "examples" / "sample.dem";

// Many checks on several threads: every report arrives once, in input order,
// and equals the single-threaded answer.
TEST(Batch, ParallelChecksReportInInputOrder) {
    test::TempDir dir;
    std::vector<DemoInput> demos;
    for (int i = 0; i < 12; ++i) {
        const auto name = "run" + std::to_string(i) + ".dem";
        if (i % 4 == 3) {
            demos.push_back({name, dir.write(name, std::string("HLDEMO"))});
        } else {
            std::filesystem::copy_file(kSample, dir / name);
            demos.push_back({name, dir / name});
        }
    }
    std::vector<CheckReport> serial, parallel;
    const BatchSummary one = runBatch(demos, nullptr, 1, false, [&](const CheckReport& r) { serial.push_back(r); });
    const BatchSummary four = runBatch(demos, nullptr, 4, false, [&](const CheckReport& r) { parallel.push_back(r); });
    EXPECT_EQ(one.checked, 12u);
    EXPECT_EQ(one.finished, 9u);
    EXPECT_EQ(one.rejected, 3u);
    EXPECT_EQ(four.finished, one.finished);
    ASSERT_EQ(parallel.size(), demos.size());
    for (size_t i = 0; i < demos.size(); ++i) {
        EXPECT_EQ(parallel[i].file, demos[i].shown);
        EXPECT_EQ(toJsonLine(parallel[i]), toJsonLine(serial[i]));
    }
}

// Threads that cannot start leave their jobs to those that did, or to the
// calling thread when none did; the process goes on either way.
TEST(Batch, ThreadsThatCannotStartLeaveTheirJobsToOthers) {
    test::TempDir dir;
    std::vector<DemoInput> demos;
    for (int i = 0; i < 3; ++i) {
        const auto name = "run" + std::to_string(i) + ".dem";
        std::filesystem::copy_file(kSample, dir / name);
        demos.push_back({name, dir / name});
    }
    for (unsigned startable : {1u, 0u}) {
        unsigned calls = 0;
        auto start = [&](std::function<void()> work) {
            if (calls++ >= startable) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(work));
        };
        std::vector<std::string> files;
        const BatchSummary s = runBatch(
            demos, nullptr, 4, false, [&](const CheckReport& r) { files.push_back(r.file); }, start);
        EXPECT_EQ(s.finished, demos.size()) << startable;
        ASSERT_EQ(files.size(), demos.size());
        for (size_t i = 0; i < demos.size(); ++i) EXPECT_EQ(files[i], demos[i].shown);
    }
}

}  // namespace
}  // namespace rw::cli
