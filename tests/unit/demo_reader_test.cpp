#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "analysis/demo_reader.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace rw {
namespace {

constexpr int64_t MiB = 1 << 20;

// A test file whose bytes differ across MiB boundaries.
std::vector<uint8_t> patternFile(int64_t size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>((k * 7 + (k >> 20) * 13) & 0xFF);
    return bytes;
}

// The behaviour tests run against the platform's file backend, mapping the
// file and copying it (the walk tables read memory).
class DemoReaderTest : public ::testing::TestWithParam<platform::FileAccess> {
protected:
    DemoReader& openWith(int64_t size) {
        reader_.close();  // Windows cannot replace a file held open
        bytes_ = patternFile(size);
        reader_.open(platform::openAsyncFile(dir_.write("demo.dem", bytes_), GetParam()));
        return reader_;
    }
    // Reads n bytes at pos and expects them to be the file's.
    void expectRead(int64_t pos, uint32_t n) {
        std::vector<uint8_t> got(n);
        ASSERT_TRUE(reader_.read(pos, got.data(), n)) << pos;
        EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes_.begin() + (pos - n))) << pos;
    }
    test::TempDir dir_;
    std::vector<uint8_t> bytes_;
    DemoReader reader_;
};

#ifndef _WIN32
// Elsewhere than on Windows another program may cut the file while it is
// checked. The bytes before the cut are served as the file's; a mapped page
// past it reads as zeros rather than ending the process; reads that need a
// window past the cut fail, and so does every read after them; and the end
// of the walk finds the cut.
TEST_P(DemoReaderTest, FileCutWhileReadFailsAtTheCut) {
    DemoReader& r = openWith(3 * MiB);
    expectRead(0, 100);
    std::filesystem::resize_file(dir_ / "demo.dem", 200000);
    int64_t pos = 100;
    std::vector<uint8_t> rest(4096);
    for (int64_t at = pos; r.read(pos, rest.data(), static_cast<uint32_t>(rest.size())); at = pos) {
        if (pos <= 200000) {
            ASSERT_TRUE(std::equal(rest.begin(), rest.end(), bytes_.begin() + at)) << at;
        }
    }
    EXPECT_EQ(r.state(), ReaderState::readFailed);
    EXPECT_LE(pos, GetParam() == platform::FileAccess::copy ? 200000 : MiB);  // a mapped window is in place whole
    pos = 0;
    EXPECT_FALSE(r.read(pos, rest.data(), 1));
    EXPECT_EQ(r.finish(), ReaderState::readFailed);
}

// The walk ends after its reads: a cut that came after them is caught then,
// and a file left whole passes.
TEST_P(DemoReaderTest, FinishFindsACutAfterTheReads) {
    for (const bool cut : {false, true}) {
        DemoReader& r = openWith(MiB + 5);
        expectRead(0, 100);
        if (cut) std::filesystem::resize_file(dir_ / "demo.dem", 50);
        EXPECT_EQ(r.finish(), cut ? ReaderState::readFailed : ReaderState::usable) << cut;
    }
}

#endif

// The reader against a plain read of the same bytes, with random seeks and
// lengths, over random files cut at random points right after open: reads of
// the bytes the file still holds give those bytes; a read that needs one past
// the cut fails, and so does every read after it.
TEST_P(DemoReaderTest, RandomReadsOfCutFilesMatchAPlainRead) {
    std::mt19937 rng(20);
    for (int file = 0; file < 24 && !HasFailure(); ++file) {
        const int64_t size = 1 + static_cast<int64_t>(rng() % (3 * MiB + MiB / 2));
#ifdef _WIN32
        const int64_t cutAt = size;  // no other program can open the file, let alone cut it
#else
        const int64_t cutAt = file % 3 == 0 ? size : static_cast<int64_t>(rng() % static_cast<uint64_t>(size));
#endif
        DemoReader& r = openWith(size);
        if (cutAt < size) std::filesystem::resize_file(dir_ / "demo.dem", static_cast<uintmax_t>(cutAt));
        bool failed = false;  // the plain read's state
        int64_t pos = 0;
        for (int k = 0; k < 120; ++k) {
            if (rng() % 8 == 0) pos = static_cast<int64_t>(rng() % static_cast<uint64_t>(size + 10));
            const uint32_t n = rng() % 16 == 0 ? 1 + rng() % (3 * MiB / 2) : 1 + rng() % 600;
            const int64_t at = pos;
            std::vector<uint8_t> got(n);
            const bool ok = r.read(pos, got.data(), n);
            const int64_t needEnd = std::min<int64_t>(at + n, size);
            const bool plainFails = failed || at >= size || needEnd > cutAt;
            const bool plainOk = !plainFails && at + n <= size;
            if (at < size && needEnd > cutAt) failed = true;
            ASSERT_EQ(ok, plainOk) << file << " read " << k << " of " << n << " at " << at;
            if (ok) {
                ASSERT_TRUE(std::equal(got.begin(), got.end(), bytes_.begin() + at)) << file << " " << at;
            } else {
                pos = at + n;  // where a failed read stopped is not compared
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DemoReaderTest,
                         ::testing::Values(platform::FileAccess::map, platform::FileAccess::copy),
                         [](const auto& i) { return i.param == platform::FileAccess::map ? "Mapped" : "Copied"; });

#ifdef _WIN32
TEST(DemoReaderOpen, FileHeldWithoutSharingCannotBeOpened) {
    test::TempDir dir;
    const auto path = dir.write("held.dem", std::string("HLDEMO\0\0", 8));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DemoReader r;
    EXPECT_EQ(r.open(platform::openAsyncFile(path)), ReaderState::cannotOpen);
    CloseHandle(h);
    EXPECT_EQ(r.open(platform::openAsyncFile(path)), ReaderState::usable);
}
#endif

}  // namespace
}  // namespace rw
