// Every input that once broke something (a fuzzer's crasher, a malformed demo)
// is replayed here, in the ordinary sanitized build, through the entry its fuzz
// target feeds: tests/data/crashers/<target name>/*.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace rw
