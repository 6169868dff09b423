#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/batch_check.h"
#include "temp_dir.h"

namespace rw::cli {
namespace {

// Copies of the sample, every fourth one (when asked) replaced by a file that is not a demo.
std::vector<DemoInput> sampleCopies(const test::TempDir& dir, int count, bool withBroken) {
    const auto sample = std::filesystem::path(RW_SOURCE_DIR) / "examples" / "sample.dem";
    std::vector<DemoInput> out;
    for (int i = 0; i < count; ++i) {
        const auto name = "run" + std::to_string(i) + ".dem";
        if (withBroken && i % 4 == 3) {
            out.push_back({name, dir.write(name, std::string("HLDEMO"))});
        } else {
            std::filesystem::copy_file(sample, dir / name);
            out.push_back({name, dir / name});
        }
    }
    return out;
}

// Many checks on several threads: every report arrives once, in input order,
// and equals the single-threaded answer.
TEST(Batch, ParallelChecksReportInInputOrder) {
    test::TempDir dir;
    const std::vector<DemoInput> inputs = sampleCopies(dir, 12, true);
    std::vector<CheckReport> serial, parallel;
    const BatchSummary one = runBatch(inputs, nullptr, 1, false, [&](const CheckReport& r) { serial.push_back(r); });
    const BatchSummary four = runBatch(inputs, nullptr, 4, false, [&](const CheckReport& r) { parallel.push_back(r); });
    EXPECT_EQ(one.checked, 12u);
    EXPECT_EQ(one.finished, 9u);
    EXPECT_EQ(one.rejected, 3u);
    EXPECT_EQ(four.finished, one.finished);
    ASSERT_EQ(parallel.size(), inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(parallel[i].file, inputs[i].shown);
        EXPECT_EQ(toJsonLine(parallel[i]), toJsonLine(serial[i]));
    }
}

// Threads that cannot start leave their jobs to those that did, or to the
// calling thread when none did; the process goes on either way.
TEST(Batch, ThreadsThatCannotStartLeaveTheirJobsToOthers) {
    test::TempDir dir;
    const std::vector<DemoInput> inputs = sampleCopies(dir, 3, false);
    for (unsigned startable : {1u, 0u}) {
        unsigned calls = 0;
        auto start = [&](std::function<void()> work) {
            if (calls++ >= startable) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return std::thread(std::move(work));
        };
        std::vector<std::string> files;
        const BatchSummary s = runBatch(
            inputs, nullptr, 4, false, [&](const CheckReport& r) { files.push_back(r.file); }, start);
        EXPECT_EQ(s.finished, inputs.size()) << startable;
        ASSERT_EQ(files.size(), inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(files[i], inputs[i].shown);
    }
}

}  // namespace
}  // namespace rw::cli
