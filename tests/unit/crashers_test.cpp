// Every input a fuzzer once broke something with is replayed here, in the
// ordinary (sanitized) test build.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_entries.h"
#include "temp_dir.h"

namespace rw {
namespace {

TEST(Crashers, ReplayWithoutFault) {
    const std::filesystem::path root = std::filesystem::path(RW_SOURCE_DIR) / "tests" / "data" / "crashers";
    size_t replayed = 0;
    for (const fuzz::Target& target : fuzz::targets()) {
        const auto dir = root / target.name;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::vector<uint8_t> bytes = test::readAll(entry.path());
            SCOPED_TRACE(entry.path().string());
            target.run(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    RecordProperty("replayed", static_cast<int>(replayed));
}

}  // namespace
}  // namespace rw
