#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <vector>

#include "analysis/demo_reader.h"
#include "failing_file.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace rw {
namespace {

constexpr int64_t MiB = 1 << 20;

// Byte k of a test file: a pattern that differs across MiB boundaries.
uint8_t patternAt(int64_t k) { return static_cast<uint8_t>((k * 7 + (k >> 20) * 13) & 0xFF); }

std::vector<uint8_t> patternFile(int64_t size) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int64_t k = 0; k < size; ++k) bytes[static_cast<size_t>(k)] = patternAt(k);
    return bytes;
}

// Every behaviour test runs against the in-memory backend and the platform's
// file backend, reading on the walk's thread and on a thread of its own, so
// all of them answer the same.
enum class Backend { memory, fileOnWalkThread, fileWithReadThread };

class DemoReaderTest : public ::testing::TestWithParam<Backend> {
protected:
    // The file's reads fail from failFrom on, when given.
    DemoReader& openWith(int64_t size, std::optional<int64_t> failFrom = std::nullopt) {
        reader_.close();  // let go of the previous file before it is rewritten
        bytes_ = patternFile(size);
        std::unique_ptr<platform::AsyncFile> file;
        if (GetParam() == Backend::memory) {
            file = platform::openMemoryFile(bytes_);
        } else {
            file = platform::openAsyncFile(dir_.write("demo.dem", bytes_), GetParam() == Backend::fileWithReadThread
                                                                             ? platform::ReadThread::always
                                                                             : platform::ReadThread::never);
        }
        if (failFrom) file = std::make_unique<test::FailingFile>(std::move(file), *failFrom);
        reader_.open(std::move(file));
        return reader_;
    }
    test::TempDir dir_;
    std::vector<uint8_t> bytes_;
    DemoReader reader_;
};

TEST_P(DemoReaderTest, ReadsAtTheEndOfAFileOfOneMiBAndOneByteMore) {
    DemoReader& r = openWith(MiB);
    ASSERT_EQ(r.status(), 0);
    EXPECT_EQ(r.size(), MiB);
    int64_t pos = MiB - 4;
    uint8_t buf[4];
    EXPECT_TRUE(r.read(pos, buf, 4));
    EXPECT_EQ(pos, MiB);
    EXPECT_EQ(buf[3], patternAt(MiB - 1));
    EXPECT_FALSE(r.read(pos, buf, 1));
    EXPECT_EQ(pos, MiB);

    // One byte more: a read running past the end copies what there is.
    openWith(MiB + 1);
    pos = MiB - 2;
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    EXPECT_FALSE(r.read(pos, buf, 4));
    EXPECT_EQ(pos, MiB + 1);
    EXPECT_EQ(buf[0], patternAt(MiB - 2));
    EXPECT_EQ(buf[1], patternAt(MiB - 1));
    EXPECT_EQ(buf[2], patternAt(MiB));
    EXPECT_EQ(buf[3], 0xEE);
}

TEST_P(DemoReaderTest, ReadStraddlingTwoWindows) {
    DemoReader& r = openWith(3 * MiB);
    int64_t pos = MiB - 4;
    uint8_t buf[8];
    EXPECT_TRUE(r.read(pos, buf, 8));
    EXPECT_EQ(pos, MiB + 4);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(buf[k], patternAt(MiB - 4 + k)) << k;
}

TEST_P(DemoReaderTest, ForwardSeekBeyondBothWindowsAndBack) {
    DemoReader& r = openWith(5 * MiB + 123);
    uint8_t b = 0;
    int64_t pos = 10;
    ASSERT_TRUE(r.read(pos, &b, 1));
    // Far beyond the read-ahead window: the reader restarts there.
    pos = 3 * MiB + 17;
    ASSERT_TRUE(r.read(pos, &b, 1));
    EXPECT_EQ(b, patternAt(3 * MiB + 17));
    // Walk forward across the following windows to the end.
    std::vector<uint8_t> rest(static_cast<size_t>(r.size() - pos));
    ASSERT_TRUE(r.read(pos, rest.data(), static_cast<uint32_t>(rest.size())));
    for (size_t k = 0; k < rest.size(); k += 4099) EXPECT_EQ(rest[k], patternAt(3 * MiB + 18 + k));
    EXPECT_EQ(pos, r.size());
    // Backwards is served too.
    pos = 5;
    ASSERT_TRUE(r.read(pos, &b, 1));
    EXPECT_EQ(b, patternAt(5));
}

TEST_P(DemoReaderTest, WholeFileInOneReadAndInSmallPieces) {
    DemoReader& r = openWith(2 * MiB + 999);
    std::vector<uint8_t> all(static_cast<size_t>(r.size()));
    int64_t pos = 0;
    ASSERT_TRUE(r.read(pos, all.data(), static_cast<uint32_t>(all.size())));
    EXPECT_EQ(all, bytes_);
    pos = 0;
    uint8_t piece[7];
    bool same = true;
    while (pos + 7 <= r.size()) {
        const int64_t at = pos;
        ASSERT_TRUE(r.read(pos, piece, 7));
        for (int k = 0; k < 7; ++k) same = same && piece[k] == bytes_[static_cast<size_t>(at + k)];
    }
    EXPECT_TRUE(same);
}

TEST_P(DemoReaderTest, ViewInPlaceMatchesReads) {
    DemoReader& r = openWith(2 * MiB + 10);
    const uint8_t* v = r.viewInPlace(100, 64);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[0], patternAt(100));
    EXPECT_EQ(r.viewInPlace(MiB - 10, 64), nullptr);  // straddles a window edge
    v = r.viewInPlace(MiB + 5, 64);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[63], patternAt(MiB + 5 + 63));
    EXPECT_EQ(r.viewInPlace(r.size(), 1), nullptr);
    // Far into a window whose first bytes were handed out already.
    v = r.viewInPlace(MiB + MiB / 2, 70000);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(std::equal(v, v + 70000, bytes_.begin() + MiB + MiB / 2));
}

// A read that fails ends the serving where it happened: what came before is
// the file's, and nothing is served after it, not even from a window read
// already.
TEST_P(DemoReaderTest, FailedReadEndsTheServing) {
    DemoReader& r = openWith(3 * MiB, MiB + 1000);
    std::vector<uint8_t> got(MiB + 1000);
    int64_t pos = 0;
    ASSERT_TRUE(r.read(pos, got.data(), static_cast<uint32_t>(got.size())));
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes_.begin()));
    EXPECT_FALSE(r.readFailed());
    uint8_t b = 0;
    EXPECT_FALSE(r.read(pos, &b, 1));
    EXPECT_EQ(pos, MiB + 1000);
    EXPECT_TRUE(r.readFailed());
    pos = 10;
    EXPECT_FALSE(r.read(pos, &b, 1));
    EXPECT_EQ(pos, 10);
    EXPECT_EQ(r.viewInPlace(10, 1), nullptr);
}

#ifndef _WIN32
// Elsewhere than on Windows another program may cut the file while it is
// checked. What was read before the cut is served; the first read that finds
// the file shorter than at open fails, and so does every read after it.
TEST(DemoReaderFile, FileCutWhileReadFailsAtTheCut) {
    for (platform::ReadThread mode : {platform::ReadThread::never, platform::ReadThread::always}) {
        test::TempDir dir;
        const std::vector<uint8_t> bytes = patternFile(3 * MiB);
        const std::filesystem::path path = dir.write("demo.dem", bytes);
        DemoReader r;
        ASSERT_EQ(r.open(path, mode), 0);
        uint8_t first[100];
        int64_t pos = 0;
        ASSERT_TRUE(r.read(pos, first, sizeof first));
        std::filesystem::resize_file(path, 200000);
        std::vector<uint8_t> rest(4096);
        for (;;) {
            const int64_t at = pos;
            if (!r.read(pos, rest.data(), static_cast<uint32_t>(rest.size()))) break;
            ASSERT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + at)) << at;
        }
        EXPECT_TRUE(r.readFailed());
        // At most the two windows read ahead before the cut came through.
        EXPECT_LE(pos, 2 * MiB);
        pos = 0;
        EXPECT_FALSE(r.read(pos, first, 1));
    }
}

// Seeks that land while the thread is still writing into a buffer: reissuing
// it waits for the piece under way, and every byte served is the file's.
TEST(DemoReaderFile, SeeksWhileTheThreadReadsServeTheFilesBytes) {
    test::TempDir dir;
    const std::vector<uint8_t> bytes = patternFile(9 * MiB + 321);
    DemoReader r;
    ASSERT_EQ(r.open(dir.write("demo.dem", bytes), platform::ReadThread::always), 0);
    std::mt19937 rng(5);
    for (int k = 0; k < 400; ++k) {
        int64_t pos = static_cast<int64_t>(rng() % bytes.size());
        const int64_t at = pos;
        uint8_t got[300];
        const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(sizeof got, r.size() - pos));
        ASSERT_TRUE(r.read(pos, got, n)) << at;
        ASSERT_TRUE(std::equal(got, got + n, bytes.begin() + at)) << at;
        if (k % 3 == 0) r.viewInPlace(at + 200000, 1);  // touch the read-ahead
    }
}
#endif

INSTANTIATE_TEST_SUITE_P(Backends, DemoReaderTest,
                         ::testing::Values(Backend::memory, Backend::fileOnWalkThread, Backend::fileWithReadThread),
                         [](const auto& info) {
                             switch (info.param) {
                                 case Backend::memory:
                                     return "Memory";
                                 case Backend::fileOnWalkThread:
                                     return "FileOnWalkThread";
                                 default:
                                     return "FileWithReadThread";
                             }
                         });

TEST(DemoReaderOpen, EmptyAndMissingFilesAreUnusable) {
    test::TempDir dir;
    DemoReader r;
    EXPECT_EQ(r.open(dir / "missing.dem"), -1);
    uint8_t b;
    int64_t pos = 0;
    EXPECT_FALSE(r.read(pos, &b, 1));
    EXPECT_EQ(r.open(dir.write("empty.dem", std::string())), -1);
    EXPECT_FALSE(r.read(pos, &b, 1));
    r.close();
    r.close();  // closing twice is harmless
}

#ifdef _WIN32
TEST(DemoReaderOpen, FileHeldWithoutSharingCannotBeOpened) {
    test::TempDir dir;
    const auto path = dir.write("held.dem", std::string("HLDEMO\0\0", 8));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DemoReader r;
    EXPECT_EQ(r.open(path), -1);
    CloseHandle(h);
    EXPECT_EQ(r.open(path), 0);
    // And while the reader holds it, nobody else can.
    HANDLE again = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(again, INVALID_HANDLE_VALUE);
    if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
}
#endif

}  // namespace
}  // namespace rw
