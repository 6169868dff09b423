#include "analysis/trigger_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    TriggerInputs inputs(uint8_t mode) const {
        TriggerInputs in;
        in.entries = entries;
        in.kinds = kinds;
        in.mode = mode;
        return in;
    }
};

// Scans a copy of exactly the block's size, so the sanitizer sees any read past it.
bool detect(const Bytes& block, const TriggerInputs& in) {
    auto exact = std::make_unique<uint8_t[]>(block.size() + (block.empty() ? 1 : 0));
    std::copy(block.begin(), block.end(), exact.get());
    return detectTriggerInBlock(std::span<const uint8_t>(exact.get(), block.size()), in, triggerFilter(in));
}

// Modes 0 to 2 and 4 up: where the scan looks (positions 1 to n-8 of blocks of
// nine bytes or more), which opening each mode takes and how far the entry lies.
TEST(TriggerPatternModes, ScanBoundsOpeningsAndEntries) {
    const Bytes eight{0x06, 0x06, 1, 2, 3, 4, 5, 0xAA};  // a match if it were scanned
    const Bytes pad = msg::filler(20, 0);
    const Bytes hit66 = msg::buttonPattern66(kAB);  // exactly 9 bytes: the pattern ends the block
    const Bytes hit67 = msg::buttonPattern67(kAB);  // 06 07, six bytes, AA BB: 10 bytes
    const Bytes both = msg::concat({hit66, hit67, msg::filler(4)});
    const Bytes a{0xAA}, abc{0xAA, 0xBB, 0xCC};
    const struct {
        const char* what;
        Phase phase;
        uint8_t mode;
        Bytes block;
        bool hit;
    } cases[] = {
        {"8-byte block", {{a}}, 0, eight, false},
        {"9-byte block", {{a}}, 0, msg::concat({eight, Bytes{0x00}}), true},
        {"9-byte block, pair at 1,2 (needs position 2)", {{a}}, 0, msg::concat({Bytes{0x00}, eight}), false},
        {"pair ending at n-8", {{a}}, 0, msg::concat({pad, Bytes{0x06, 0x06}, msg::filler(5), Bytes{0xAA, 0x00}}), true},
        {"pair ending at n-7", {{a}}, 0, msg::concat({pad, Bytes{0x06, 0x06}, msg::filler(5), Bytes{0xAA}}), false},
        {"mode 0 pattern ends the block", {{kAB}}, 0, hit66, true},
        {"entry's last byte one past the end", {{kAB}}, 0, msg::concat({Bytes{0x00}, Bytes(hit66.begin(), hit66.end() - 1)}), false},
        {"entry longer than what follows", {{abc}}, 0, hit66, false},
        {"one byte further from the pair", {{kAB}}, 0, msg::concat({Bytes{0x06, 0x06}, msg::filler(6), kAB}), false},
        {"a too long entry is skipped, a later one matches", {{Bytes(40, 0xAA), kAB}}, 0,
         msg::concat({msg::filler(3, 0), hit66, msg::filler(2, 0)}), true},
        {"no entry matches", {{Bytes{0xAA, 0xCC}}}, 0, msg::concat({msg::filler(3, 0), hit66, msg::filler(2, 0)}), false},
        {"mode 2 pattern after 06 07", {{kAB}}, 2, hit67, true},
        {"mode 2, five bytes between", {{kAB}}, 2, msg::concat({Bytes{0x06, 0x07}, msg::filler(5), kAB, msg::filler(4)}), false},
        {"mode 2 ignores 06 06", {{kAB}}, 2, msg::concat({hit66, msg::filler(3)}), false},
        {"mode 0 ignores 06 07", {{kAB}}, 0, hit67, false},
        {"mode 2 entry past the end", {{abc}}, 2, hit67, false},
        {"mode 1", {{kAB}, {1}}, 1, both, true},
        {"mode 3 pattern kind", {{kAB}, {1}}, 3, both, true},
        {"mode 4", {{kAB}, {1}}, 4, both, false},
        {"mode 255", {{kAB}, {1}}, 255, both, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detect(c.block, c.phase.inputs(c.mode)), c.hit);
    }
}

// Mode 3: button positions heard through the bit-packed sound message.
class TriggerMode3 : public ::testing::Test {
protected:
    static TriggerInputs withOrigin(const Phase& p, float x, float y, float z, int select = kNoSoundIndex,
                                    int deny = kNoSoundIndex) {
        TriggerInputs in = p.inputs(3);
        in.origin = {x, y, z};
        in.selectSoundIndex = select;
        in.denySoundIndex = deny;
        return in;
    }
    static Bytes block(const Bytes& sound) { return msg::concat({msg::filler(4, 0), sound, msg::filler(4, 0)}); }
    const Phase positions{{msg::positionEntry(100, 200, -50)}, {0}};
};

TEST_F(TriggerMode3, SoundIndicesFixedBytesAndPositionTolerance) {
    const Bytes good = msg::buttonSound(0x00, 0x96);  // index 300: low bit 0 -> 00, 300 >> 1 = 150 -> 96
    auto flipped = [&](size_t k) {
        Bytes bad = good;
        bad[k] ^= 0x01;
        return bad;
    };
    const Phase odd{{Bytes{100, 0, 200, 0, 0xCE}}, {0}};  // not six bytes
    const Phase atX164{{msg::positionEntry(164, 0, 0)}, {0}};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        Bytes sound;
        TriggerInputs in;
        bool hit;
    } cases[] = {
        {"select sound named", good, withOrigin(positions, 100, 200, -50, 300), true},
        {"select, first byte differs", msg::buttonSound(0x80, 0x96), withOrigin(positions, 100, 200, -50, 300), false},
        {"select, second byte differs", msg::buttonSound(0x00, 0x97), withOrigin(positions, 100, 200, -50, 300), false},
        {"index 301 sets the top bit", msg::buttonSound(0x80, 0x96), withOrigin(positions, 100, 200, -50, 301), true},
        {"index 512", msg::buttonSoundFor(512), withOrigin(positions, 100, 200, -50, 512), false},
        {"index 513", msg::buttonSoundFor(513), withOrigin(positions, 100, 200, -50, 513), false},
        {"index 1000", msg::buttonSoundFor(1000), withOrigin(positions, 100, 200, -50, 1000), false},
        {"deny 301, both differ", msg::buttonSound(0x00, 0x97), withOrigin(positions, 100, 200, -50, kNoSoundIndex, 301), true},
        {"deny 301, first equal", msg::buttonSound(0x80, 0x97), withOrigin(positions, 100, 200, -50, kNoSoundIndex, 301), false},
        {"deny 301, second equal", msg::buttonSound(0x00, 0x96), withOrigin(positions, 100, 200, -50, kNoSoundIndex, 301), false},
        {"no sound known, first not 80", msg::buttonSound(0x00, 0xFF), withOrigin(positions, 100, 200, -50), true},
        {"no sound known, first 80", msg::buttonSound(0x80, 0x12), withOrigin(positions, 100, 200, -50), false},
        {"fixed byte 2", flipped(2), withOrigin(positions, 100, 200, -50, 300), false},
        {"fixed byte 3", flipped(3), withOrigin(positions, 100, 200, -50, 300), false},
        {"fixed byte 4", flipped(4), withOrigin(positions, 100, 200, -50, 300), false},
        {"fixed byte 7", flipped(7), withOrigin(positions, 100, 200, -50, 300), false},
        {"five-byte position", good, withOrigin(odd, 100, 200, -50, 300), false},
        {"x off by 164", good, withOrigin(positions, 264.9f, 200.0f, -50.0f, 300), true},
        {"x off by 165", good, withOrigin(positions, 265.0f, 200.0f, -50.0f, 300), false},
        {"x off by -164", good, withOrigin(positions, -64.9f, 200.0f, -50.0f, 300), true},
        {"x off by -165", good, withOrigin(positions, -65.0f, 200.0f, -50.0f, 300), false},
        {"z off by 165", good, withOrigin(positions, 100.0f, 200.0f, 115.0f, 300), false},
        {"-0.9 truncates to 0", good, withOrigin(atX164, -0.9f, 0.0f, 0.0f, 300), true},
        {"origin not a number", good, withOrigin(positions, nan, 200.0f, -50.0f, 300), false},
        {"huge origin", good, withOrigin(positions, 1.0e30f, 200.0f, -50.0f, 300), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(detect(block(c.sound), c.in), c.hit);
    }
}

TEST_F(TriggerMode3, KindsSelectWhichChecksRun) {
    const Bytes patternBlock = msg::concat({msg::buttonPattern66(kAB), msg::filler(2)});
    const Bytes soundBlock = block(msg::buttonSound(0x00, 0x96));
    // Only positions: the 06 06 pattern is ignored, even for a pattern-shaped entry.
    const Phase onlyPositions{{msg::positionEntry(100, 200, -50), kAB}, {0, 0}};
    EXPECT_FALSE(detect(patternBlock, withOrigin(onlyPositions, 100, 200, -50, 300)));
    EXPECT_TRUE(detect(soundBlock, withOrigin(onlyPositions, 100, 200, -50, 300)));
    // Only patterns: the sound message is ignored even when the player stands on a pattern's bytes.
    const Phase onlyPatterns{{kAB, msg::positionEntry(100, 200, -50)}, {1, 1}};
    EXPECT_TRUE(detect(patternBlock, withOrigin(onlyPatterns, 100, 200, -50, 300)));
    EXPECT_FALSE(detect(soundBlock, withOrigin(onlyPatterns, 100, 200, -50, 300)));
    // Mixed: each entry is used only as its kind says.
    const Phase mixed{{kAB, msg::positionEntry(100, 200, -50)}, {1, 0}};
    EXPECT_TRUE(detect(patternBlock, withOrigin(mixed, 0, 0, 0, 300)));
    EXPECT_TRUE(detect(soundBlock, withOrigin(mixed, 100, 200, -50, 300)));
    EXPECT_FALSE(detect(soundBlock, withOrigin(mixed, 1000, 200, -50, 300)));
    // No kinds at all: nothing can match.
    const Phase noKinds{{kAB}, {}};
    EXPECT_FALSE(detect(patternBlock, withOrigin(noKinds, 0, 0, 0, 300)));
}

// The rules applied one position at a time, as plainly as they read; the
// detector's vector scan must answer the same for every block.
bool plainDetect(const Bytes& b, const TriggerInputs& in) {
    const size_t n = b.size();
    if (n < 9 || in.mode > 3) return false;
    bool anyPosition = false;
    bool anyPattern = false;
    for (uint8_t k : in.kinds) (k ? anyPattern : anyPosition) = true;
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
                p.entries.push_back(msg::positionEntry(static_cast<int16_t>(rng() % 400), 0, 0));
            } else {
                Bytes e(1 + rng() % 4);
                for (auto& v : e) v = pick();
                p.entries.push_back(e);
            }
            if (mode == 3) p.kinds.push_back(position ? 0 : 1);
        }
        TriggerInputs in = p.inputs(mode);
        in.origin = {static_cast<float>(rng() % 400), 0.0f, 0.0f};
        in.selectSoundIndex = rng() % 3 ? 300 : kNoSoundIndex;
        in.denySoundIndex = rng() % 2 ? 301 : kNoSoundIndex;
        Bytes block(rng() % 120);
        for (auto& v : block) v = pick();
        // Plant a true press somewhere now and then, often near the end.
        if (!p.entries.empty() && block.size() > 20 && rng() % 3 == 0) {
            const Bytes press = mode == 3 && !p.kinds.empty() && p.kinds[0] == 0 ? msg::buttonSoundFor(300)
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
    using openings::Filter;
    std::mt19937 rng(77);
    const uint8_t alphabet[] = {0x06, 0x06, 0x07, 0xAA, 0xCC, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05};
    for (int round = 0; round < 5000; ++round) {
        Filter f;
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

        std::vector<size_t> expected;
        for (size_t i = 1; i <= last + 1; ++i) {
            if (block[i - 1] != 6) continue;
            if ((f.six && block[i] == 6 && f.afterSix.passes(block[i + f.afterSix.distance])) ||
                (f.seven && block[i] == 7 && f.afterSeven.passes(block[i + f.afterSeven.distance]))) {
                expected.push_back(i);
            }
        }
        auto collect = [](std::vector<size_t>& into) {
            return [&into](size_t i, uint8_t) {
                into.push_back(i);
                return false;
            };
        };
        std::vector<size_t> viaDispatch;
        openings::forEachPrepared(std::span<const uint8_t>(exact.get(), block.size()), f, collect(viaDispatch));
        EXPECT_EQ(viaDispatch, expected) << "round " << round;
        if (!f.six && !f.seven) continue;  // never handed to a vector scan
        auto asVisitor = [](auto& fn) {
            return openings::Visitor{
                [](void* c, size_t i, uint8_t s) { return (*static_cast<decltype(&fn)>(c))(i, s); }, &fn};
        };
        if (last >= openings::kSse2MinLast) {
            std::vector<size_t> viaSse2;
            auto into = collect(viaSse2);
            openings::forEachSse2(exact.get(), last, f, asVisitor(into));
            EXPECT_EQ(viaSse2, expected) << "round " << round;
        }
        if (last >= openings::kAvx2MinLast && openings::avx2Available()) {
            std::vector<size_t> viaAvx2;
            auto into = collect(viaAvx2);
            openings::forEachAvx2(exact.get(), last, f, asVisitor(into));
            EXPECT_EQ(viaAvx2, expected) << "round " << round;
        }
        if (HasFailure()) break;
    }
}

// Through the reader: in place, across a window edge, and cut by the end of the file.
TEST(TriggerThroughReader, ScansTheBlockWhereverItLies) {
    constexpr int64_t MiB = DemoReader::chunk;
    const Phase p{{kAB}};
    const Bytes press = msg::buttonPattern66(kAB);
    Bytes file(static_cast<size_t>(2 * MiB + 100), 0x00);
    std::copy(press.begin(), press.end(), file.begin() + 1000);       // inside window 0
    std::copy(press.begin(), press.end(), file.begin() + (MiB - 4));  // straddles the edge
    DemoReader reader;
    ASSERT_EQ(reader.openMemory(file), 0);
    std::vector<uint8_t> scratch;
    const TriggerInputs in = p.inputs(0);
    auto scan = [&](int64_t offset, uint32_t length) {
        return detectTrigger(reader, offset, length, in, triggerFilter(in), scratch);
    };
    EXPECT_TRUE(scan(990, 40));
    EXPECT_TRUE(scratch.empty());  // served in place
    EXPECT_TRUE(scan(MiB - 20, 64));
    EXPECT_FALSE(scan(MiB + 40, 64));
    // Claimed far beyond the file: only what is there is scanned.
    std::copy(press.begin(), press.end(), file.end() - 20);
    reader.openMemory(file);
    EXPECT_TRUE(scan(static_cast<int64_t>(file.size()) - 30, 0xFFFFFFFFu));
    EXPECT_LE(scratch.size(), file.size());
    // The file ends right after the pattern: found. One byte earlier: not found,
    // however long the claim.
    Bytes endsAfter(file.begin(), file.end() - 11);
    reader.openMemory(endsAfter);
    EXPECT_TRUE(scan(static_cast<int64_t>(endsAfter.size()) - 30, 0xFFFFFFFFu));
    Bytes cutFile(file.begin(), file.end() - 12);
    reader.openMemory(cutFile);
    EXPECT_FALSE(scan(static_cast<int64_t>(cutFile.size()) - 30, 0xFFFFFFFFu));
    EXPECT_FALSE(scan(static_cast<int64_t>(cutFile.size()), 100));
}

}  // namespace
}  // namespace rw
