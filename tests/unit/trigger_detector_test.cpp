#include "analysis/trigger_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "analysis/demo_reader.h"
#include "analysis/sound_openings_vector.h"
#include "demo_builder.h"

namespace rw {
namespace {

using test::Bytes;
namespace msg = test::msg;

const Bytes kAB{0xAA, 0xBB};

// Entries and kinds that outlive the TriggerInputs viewing them.
struct Phase {
    std::vector<ByteString> entries;
    std::vector<uint8_t> kinds;
    TriggerInputs inputs(uint8_t mode, std::array<float, 3> origin = {}, int select = kNoSoundIndex,
                         int deny = kNoSoundIndex) const {
        return {entries, kinds, mode, select, deny, origin};
    }
};

// Scans a copy of exactly the block's size, so the sanitizer sees any read
// past it; the last `beyond` bytes follow the scanned block, as the rest of a
// frame would, where a scan reading too far would find them.
bool detect(const Bytes& block, const TriggerInputs& in, size_t beyond = 0) {
    auto exact = std::make_unique<uint8_t[]>(std::max<size_t>(block.size(), 1));
    std::copy(block.begin(), block.end(), exact.get());
    return detectTriggerInBlock(std::span<const uint8_t>(exact.get(), block.size() - beyond), in, triggerFilter(in));
}

// Where the scan looks (positions 1 to n-8 of blocks of nine bytes or more),
// which opening each mode takes, how far the entry lies, and for mode 3 the
// button sound heard near a position entry.
TEST(TriggerDetector, Table) {
    const Bytes eight{0x06, 0x06, 1, 2, 3, 4, 5, 0xAA};  // a match if it were scanned
    const Bytes pad = msg::filler(20, 0);
    const Bytes hit66 = msg::buttonPattern66(kAB);  // exactly 9 bytes: the pattern ends the block
    const Bytes hit67 = msg::buttonPattern67(kAB);  // 10 bytes
    const Bytes both = msg::concat({hit66, hit67, msg::filler(4)});
    const Bytes a{0xAA}, abc{0xAA, 0xBB, 0xCC};
    const Phase pos{{msg::positionEntry(100, 200, -50)}, {0}};
    const std::array<float, 3> on{100, 200, -50};
    const struct {
        const char* what;
        Bytes block;
        Phase phase;
        uint8_t mode;
        bool hit;
        std::array<float, 3> origin{};
        int select = kNoSoundIndex, deny = kNoSoundIndex;
        size_t beyond = 0;
    } cases[] = {
        {"8-byte block", eight, {{a}}, 0, false},
        {"9-byte block", msg::concat({eight, Bytes{0x00}}), {{a}}, 0, true},
        {"pair ending at n-8", msg::concat({pad, Bytes{6, 6}, msg::filler(5), Bytes{0xAA, 0}}), {{a}}, 0, true},
        {"pair ending at n-7", msg::concat({pad, Bytes{6, 6}, msg::filler(5), Bytes{0xAA}}), {{a}}, 0, false},
        {"entry longer than what follows", msg::concat({hit66, Bytes{0xCC}}), {{abc}}, 0, false, {}, 0, 0, 1},
        {"mode 2 entry longer than what follows", msg::concat({hit67, Bytes{0xCC}}), {{abc}}, 2, false, {}, 0, 0, 1},
        {"one byte further from the pair", msg::concat({Bytes{6, 6}, msg::filler(6), kAB}), {{kAB}}, 0, false},
        {"a too long entry is skipped", msg::concat({pad, hit66, pad}), {{Bytes(40, 0xAA), kAB}}, 0, true},
        {"mode 2, five bytes between", msg::concat({Bytes{6, 7}, msg::filler(5), kAB, pad}), {{kAB}}, 2, false},
        {"mode 0 ignores 06 07", hit67, {{kAB}}, 0, false},
        {"mode 1", both, {{kAB}, {1}}, 1, true},
        {"select sound named", msg::concat({pad, msg::buttonSoundFor(300), pad}), pos, 3, true, on, 300},
        {"deny 301, first byte equal", msg::concat({pad, msg::buttonSoundFor(303), pad}), pos, 3, false, on, kNoSoundIndex, 301},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detect(c.block, c.phase.inputs(c.mode, c.origin, c.select, c.deny), c.beyond), c.hit);
    }
}

// The rules applied one position at a time, as plainly as they read; the
// detector's vector scan must answer the same for every block.
bool plainDetect(const Bytes& b, const TriggerInputs& in) {
    const size_t n = b.size();
    if (n < 9 || in.mode > 3) return false;
    auto patternAt = [&](size_t from, const ByteString& e) {
        return !e.empty() && from + e.size() <= n && std::equal(e.begin(), e.end(), b.begin() + from);
    };
    for (size_t i = 1; i <= n - 8; ++i) {
        const bool p66 = b[i - 1] == 6 && b[i] == 6;
        const bool p67 = b[i - 1] == 6 && b[i] == 7;
        for (size_t k = 0; k < in.entries.size(); ++k) {
            const ByteString& e = in.entries[k];
            if (in.mode <= 1 && p66 && i + 5 + e.size() < n && patternAt(i + 6, e)) return true;
            if (in.mode == 2 && p67 && i + 6 + e.size() < n && patternAt(i + 7, e)) return true;
            if (in.mode != 3 || k >= in.kinds.size()) continue;
            if (in.kinds[k] == 1 && p66 && i + 5 + e.size() < n && patternAt(i + 6, e)) return true;
            if (in.kinds[k] == 0 && p67 && e.size() == 6 && b[i + 1] == 0xCC && b[i + 2] == 0x66 && b[i + 3] == 0x16 &&
                b[i + 6] == 0x80) {
                const bool select = in.selectSoundIndex != kNoSoundIndex;
                const int s = select ? in.selectSoundIndex : in.denySoundIndex;
                const bool sound = select ? (b[i + 4] == ((s & 1) << 7) && b[i + 5] == (s >> 1))
                                          : (b[i + 4] != ((s & 1) << 7) && b[i + 5] != (s >> 1));
                bool near = sound;
                for (int axis = 0; axis < 3 && near; ++axis) {
                    if (!(std::fabs(in.origin[axis]) < 1.0e9f)) return false;  // no number, or beyond any entry
                    const int16_t c = static_cast<int16_t>(e[2 * axis] | (e[2 * axis + 1] << 8));
                    near = std::abs(c - static_cast<int64_t>(in.origin[axis])) < 165;
                }
                if (near) return true;
            }
        }
    }
    return false;
}

TEST(TriggerScan, VectorScanAnswersLikeThePlainRules) {
    std::mt19937 rng(20240601);
    // Few distinct bytes, so openings, patterns and sound messages are frequent.
    const uint8_t alphabet[] = {0x06, 0x06, 0x07, 0xAA, 0xBB, 0xCC, 0x66, 0x16,
                                0x80, 0x00, 0x96, 0x01, 0x02, 0x03, 0x04};
    auto pick = [&] { return alphabet[rng() % sizeof alphabet]; };
    int found = 0;
    for (int round = 0; round < 30000; ++round) {
        Phase p;
        const uint8_t mode = static_cast<uint8_t>(rng() % 5);
        const size_t entries = rng() % 7;
        for (size_t k = 0; k < entries; ++k) {
            const bool position = mode == 3 && rng() % 2;
            if (position) {
                p.entries.push_back(msg::positionEntry(rng() % 400, rng() % 400, rng() % 400));
                if (rng() % 8 == 0) p.entries.back().pop_back();  // not a position
            } else {
                Bytes e(1 + rng() % 4);
                for (auto& v : e) v = pick();
                p.entries.push_back(e);
            }
            if (mode == 3) p.kinds.push_back(position ? 0 : 1);
        }
        if (rng() % 8 == 0) p.kinds.resize(p.kinds.size() / 2);  // entries without a kind are never used
        // Coordinates with fractions on both sides of zero, now and then none or a huge one.
        const auto coordinate = [&] {
            const float odd[] = {std::numeric_limits<float>::quiet_NaN(), 1.0e30f, -1.0e30f};
            return rng() % 50 == 0 ? odd[rng() % 3] : static_cast<float>(rng() % 1200) / 3.0f - 20.0f;
        };
        const int sounds[] = {300, 301, 512, 513, kNoSoundIndex, kNoSoundIndex};
        const int select = sounds[rng() % 6];
        const TriggerInputs in = p.inputs(mode, {coordinate(), coordinate(), coordinate()}, select, sounds[rng() % 6]);
        Bytes block(rng() % 120);
        for (auto& v : block) v = pick();
        // Plant a true press somewhere now and then, often near the end.
        if (!p.entries.empty() && block.size() > 20 && rng() % 3 == 0) {
            const Bytes press = mode == 3 && !p.kinds.empty() && p.kinds[0] == 0 ? msg::buttonSoundFor(select)
                                : mode == 2                                      ? msg::buttonPattern67(p.entries[0])
                                                                                 : msg::buttonPattern66(p.entries[0]);
            const size_t at = block.size() - std::min(block.size(), press.size() + rng() % 6);
            std::copy_n(press.begin(), std::min(press.size(), block.size() - at), block.begin() + at);
        }
        const bool expected = plainDetect(block, in);
        found += expected;
        ASSERT_EQ(detect(block, in), expected) << "round " << round;
    }
    EXPECT_GT(found, 3000);  // the rounds do exercise matches
}

// Each instruction set's scan visits the same places, in the same order, as
// the filter's plain reading, also where this processor would pick another.
TEST(TriggerScan, EveryInstructionSetFindsTheSameOpenings) {
    std::mt19937 rng(77);
    const uint8_t alphabet[] = {0x06, 0x06, 0x07, 0xAA, 0xCC, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05};
    for (int round = 0; round < 5000 && !HasFailure(); ++round) {
        openings::Filter f;
        f.six = rng() % 3 != 0;
        f.seven = !f.six || rng() % 2;
        for (openings::NextByte* next : {&f.afterSix, &f.afterSeven}) {
            next->distance = rng() % (openings::kMaxDistance + 1);
            const size_t values = rng() % 7;  // five or more: everything passes
            for (size_t k = 0; k < values; ++k) next->allow(alphabet[rng() % sizeof alphabet]);
        }
        f = openings::prepared(f);
        Bytes block(9 + rng() % 150);
        for (auto& v : block) v = alphabet[rng() % sizeof alphabet];
        auto exact = std::make_unique<uint8_t[]>(block.size());
        std::copy(block.begin(), block.end(), exact.get());
        const size_t last = block.size() - 9;

        std::vector<size_t> expected, seen;
        for (size_t i = 1; i <= last + 1; ++i) {
            if (block[i - 1] == 6 &&
                ((f.six && block[i] == 6 && f.afterSix.passes(block[i + f.afterSix.distance])) ||
                 (f.seven && block[i] == 7 && f.afterSeven.passes(block[i + f.afterSeven.distance]))))
                expected.push_back(i);
        }
        auto collect = [&seen](size_t i, uint8_t) {
            seen.push_back(i);
            return false;
        };
        const openings::Visitor visitor{
            [](void* c, size_t i, uint8_t s) { return (*static_cast<decltype(collect)*>(c))(i, s); }, &collect};
        openings::forEachPrepared(std::span<const uint8_t>(exact.get(), block.size()), f, collect);
        EXPECT_EQ(seen, expected) << "round " << round;
        if (!f.six && !f.seven) continue;  // never handed to a vector scan
        if (last >= openings::kSse2MinLast) {
            seen.clear();
            openings::forEachSse2(exact.get(), last, f, visitor);
            EXPECT_EQ(seen, expected) << "SSE2, round " << round;
        }
        if (last >= openings::kAvx2MinLast && openings::avx2Available()) {
            seen.clear();
            openings::forEachAvx2(exact.get(), last, f, visitor);
            EXPECT_EQ(seen, expected) << "AVX2, round " << round;
        }
    }
}

// Through the reader: in place, across a window edge, and cut by the end of
// the file, where only what is there is scanned however long the claim.
TEST(TriggerDetector, ScansTheBlockWhereverItLiesInTheFile) {
    constexpr int64_t MiB = DemoReader::chunk;
    const Bytes press = msg::buttonPattern66(kAB);
    Bytes file(static_cast<size_t>(2 * MiB + 100), 0x00);
    for (const int64_t at : {int64_t{1000}, MiB - 4, 2 * MiB + 80}) std::copy(press.begin(), press.end(), file.begin() + at);
    DemoReader reader;
    std::vector<uint8_t> scratch;
    const Phase p{{kAB}};
    auto scan = [&](int64_t offset, uint32_t length) {
        return detectTrigger(reader, offset, length, p.inputs(0), triggerFilter(p.inputs(0)), scratch);
    };
    ASSERT_EQ(reader.openMemory(file), 0);
    EXPECT_TRUE(scan(990, 40));
    EXPECT_TRUE(scratch.empty());  // served in place
    EXPECT_TRUE(scan(MiB - 20, 64));
    EXPECT_FALSE(scan(MiB + 40, 64));
    for (const size_t cut : {0, 11, 12}) {  // the file ends after the pattern, or one byte earlier
        const Bytes shorter(file.begin(), file.end() - static_cast<ptrdiff_t>(cut));
        reader.openMemory(shorter);
        EXPECT_EQ(scan(static_cast<int64_t>(shorter.size()) - 30, 0xFFFFFFFFu), cut < 12) << cut;
        EXPECT_LE(scratch.size(), file.size());
    }
}

}  // namespace
}  // namespace rw
