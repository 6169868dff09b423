#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "analysis/demo_reader.h"
#include "analysis/trigger_detector.h"
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
    return detectTriggerInBlock(std::span<const uint8_t>(exact.get(), block.size()), in);
}

TEST(TriggerPatternModes, BlocksShorterThanNineBytesAreNotScanned) {
    const Phase p{{Bytes{0xAA}}};
    // 06 06 at positions 0,1, entry byte at 7: a match if the block were scanned.
    const Bytes eight{0x06, 0x06, 1, 2, 3, 4, 5, 0xAA};
    EXPECT_FALSE(detect(eight, p.inputs(0)));
    Bytes nine = eight;
    nine.push_back(0x00);
    EXPECT_TRUE(detect(nine, p.inputs(0)));
}

TEST(TriggerPatternModes, NineByteBlockIsExaminedAtPositionOneOnly) {
    const Phase p{{Bytes{0xAA}}};
    // The pair at 1,2 would need position 2, which a 9-byte block does not visit.
    const Bytes block{0x00, 0x06, 0x06, 1, 2, 3, 4, 5, 0xAA};
    EXPECT_FALSE(detect(block, p.inputs(0)));
}

TEST(TriggerPatternModes, Mode0PatternSixBytesAfterTheSecondSix) {
    const Phase p{{kAB}};
    const Bytes hit = msg::buttonPattern66(kAB);  // exactly 9 bytes: the pattern ends the block
    ASSERT_EQ(hit.size(), 9u);
    EXPECT_TRUE(detect(hit, p.inputs(0)));
    // The same block with the entry's last byte one past the end.
    Bytes cut(hit.begin(), hit.end() - 1);
    cut.insert(cut.begin(), 0x00);
    EXPECT_FALSE(detect(cut, p.inputs(0)));
    // An entry one byte longer than what follows the pair is not tried.
    const Phase longer{{Bytes{0xAA, 0xBB, 0xCC}}};
    EXPECT_FALSE(detect(hit, longer.inputs(0)));
    // One byte further from the pair: no match either.
    const Bytes shifted = msg::concat({Bytes{0x06, 0x06}, msg::filler(6), kAB});
    EXPECT_FALSE(detect(shifted, p.inputs(0)));
}

TEST(TriggerPatternModes, LastScanPositionIsNMinusEight) {
    const Phase p{{Bytes{0xAA}}};
    // Pair ending at i = n-8: the 1-byte entry sits at n-2. Found.
    Bytes atLast = msg::concat({msg::filler(20, 0), Bytes{0x06, 0x06}, msg::filler(5), Bytes{0xAA, 0x00}});
    EXPECT_TRUE(detect(atLast, p.inputs(0)));
    // Pair ending at i = n-7 with the entry in the last byte: beyond the scan.
    Bytes pastLast = msg::concat({msg::filler(20, 0), Bytes{0x06, 0x06}, msg::filler(5), Bytes{0xAA}});
    EXPECT_FALSE(detect(pastLast, p.inputs(0)));
}

TEST(TriggerPatternModes, EntriesTriedInOrderAndSkippedWhenTooLong) {
    // A long entry that would run past the block is skipped, a later short one still matches.
    const Phase p{{Bytes(40, 0xAA), kAB}};
    const Bytes block = msg::concat({msg::filler(3, 0), msg::buttonPattern66(kAB), msg::filler(2, 0)});
    EXPECT_TRUE(detect(block, p.inputs(0)));
    const Phase none{{Bytes{0xAA, 0xCC}}};
    EXPECT_FALSE(detect(block, none.inputs(0)));
}

TEST(TriggerPatternModes, Mode1AnswersLikeMode0) {
    const Phase p{{kAB}};
    const std::vector<Bytes> blocks = {
        msg::buttonPattern66(kAB),
        msg::concat({msg::filler(100, 0x06), msg::buttonPattern66(kAB), msg::filler(1)}),
        msg::buttonPattern67(kAB),
        msg::filler(64, 0x06),
    };
    for (const Bytes& b : blocks) EXPECT_EQ(detect(b, p.inputs(0)), detect(b, p.inputs(1)));
    EXPECT_TRUE(detect(blocks[1], p.inputs(1)));
}

TEST(TriggerPatternModes, Mode2PatternSevenBytesAfterTheSeven) {
    const Phase p{{kAB}};
    const Bytes hit = msg::buttonPattern67(kAB);  // 06 07, six bytes, AA BB: 10 bytes
    EXPECT_TRUE(detect(hit, p.inputs(2)));
    const Bytes fiveBetween = msg::concat({Bytes{0x06, 0x07}, msg::filler(5), kAB, msg::filler(4)});
    EXPECT_FALSE(detect(fiveBetween, p.inputs(2)));
    // Mode 2 ignores the 06 06 opening and modes 0/1 ignore 06 07.
    EXPECT_FALSE(detect(msg::concat({msg::buttonPattern66(kAB), msg::filler(3)}), p.inputs(2)));
    EXPECT_FALSE(detect(hit, p.inputs(0)));
    // Bound: the entry may end on the block's last byte but not beyond it.
    const Phase longer{{Bytes{0xAA, 0xBB, 0xCC}}};
    EXPECT_FALSE(detect(hit, longer.inputs(2)));
}

TEST(TriggerPatternModes, ModesFourAndAboveDetectNothing) {
    const Phase p{{kAB}, {1}};
    const Bytes block = msg::concat({msg::buttonPattern66(kAB), msg::buttonPattern67(kAB), msg::filler(4)});
    for (uint8_t mode : {0, 1, 2, 3}) EXPECT_TRUE(detect(block, p.inputs(mode))) << int(mode);
    for (uint8_t mode : {4, 5, 200, 255}) EXPECT_FALSE(detect(block, p.inputs(mode))) << int(mode);
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

TEST_F(TriggerMode3, SelectSoundFoundMustBeNamedExactly) {
    // Index 300: low bit 0 -> 00, 300 >> 1 = 150 -> 96.
    EXPECT_TRUE(detect(block(msg::buttonSound(0x00, 0x96)), withOrigin(positions, 100, 200, -50, 300)));
    EXPECT_FALSE(detect(block(msg::buttonSound(0x80, 0x96)), withOrigin(positions, 100, 200, -50, 300)));
    EXPECT_FALSE(detect(block(msg::buttonSound(0x00, 0x97)), withOrigin(positions, 100, 200, -50, 300)));
    // Index 301 sets the top bit of the first byte.
    EXPECT_TRUE(detect(block(msg::buttonSound(0x80, 0x96)), withOrigin(positions, 100, 200, -50, 301)));
    // Indices from 512 on do not fit the second byte and never pass.
    for (int index : {512, 513, 1000}) {
        EXPECT_FALSE(detect(block(msg::buttonSoundFor(index)), withOrigin(positions, 100, 200, -50, index)));
    }
}

TEST_F(TriggerMode3, WithoutTheSelectSoundBothBytesMustDifferFromTheDenySound) {
    // Deny index 301 -> 80 96.
    const auto in = withOrigin(positions, 100, 200, -50, kNoSoundIndex, 301);
    EXPECT_TRUE(detect(block(msg::buttonSound(0x00, 0x97)), in));
    EXPECT_FALSE(detect(block(msg::buttonSound(0x80, 0x97)), in));
    EXPECT_FALSE(detect(block(msg::buttonSound(0x00, 0x96)), in));
    // Neither sound known: only a first byte other than 80 passes.
    const auto unknown = withOrigin(positions, 100, 200, -50);
    EXPECT_TRUE(detect(block(msg::buttonSound(0x00, 0xFF)), unknown));
    EXPECT_FALSE(detect(block(msg::buttonSound(0x80, 0x12)), unknown));
}

TEST_F(TriggerMode3, FixedBytesOfTheSoundMessageAreRequired) {
    const auto in = withOrigin(positions, 100, 200, -50, 300);
    Bytes good = msg::buttonSound(0x00, 0x96);
    for (size_t k : {2u, 3u, 4u, 7u}) {
        Bytes bad = good;
        bad[k] ^= 0x01;
        EXPECT_FALSE(detect(block(bad), in)) << k;
    }
}

TEST_F(TriggerMode3, PositionToleranceTruncatesTheOriginTowardZero) {
    const Bytes sound = block(msg::buttonSound(0x00, 0x96));
    EXPECT_TRUE(detect(sound, withOrigin(positions, 264.9f, 200.0f, -50.0f, 300)));   // 164
    EXPECT_FALSE(detect(sound, withOrigin(positions, 265.0f, 200.0f, -50.0f, 300)));  // 165
    EXPECT_TRUE(detect(sound, withOrigin(positions, -64.9f, 200.0f, -50.0f, 300)));   // -164
    EXPECT_FALSE(detect(sound, withOrigin(positions, 100.0f, 200.0f, 115.0f, 300)));  // z off by 165
    // -0.9 counts as 0: 164 away from x = 164 matches (as -1 it would be 165).
    const Phase atX164{{msg::positionEntry(164, 0, 0)}, {0}};
    EXPECT_TRUE(detect(sound, withOrigin(atX164, -0.9f, 0.0f, 0.0f, 300)));
    // Origins that are not numbers, or huge, match nothing.
    EXPECT_FALSE(detect(sound, withOrigin(positions, std::numeric_limits<float>::quiet_NaN(), 200.0f, -50.0f, 300)));
    EXPECT_FALSE(detect(sound, withOrigin(positions, 1.0e30f, 200.0f, -50.0f, 300)));
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

TEST_F(TriggerMode3, PositionEntriesOfTheWrongSizeNeverMatch) {
    const Phase odd{{Bytes{100, 0, 200, 0, 0xCE}}, {0}};
    EXPECT_FALSE(detect(block(msg::buttonSound(0x00, 0x96)), withOrigin(odd, 100, 200, -50, 300)));
}

// Through the reader: in place, across a window edge, and cut by the end of the file.
TEST(TriggerThroughReader, ScansTheBlockWhereverItLies) {
    constexpr int64_t MiB = DemoReader::chunk;
    const Phase p{{kAB}};
    const Bytes press = msg::buttonPattern66(kAB);
    Bytes file(static_cast<size_t>(2 * MiB + 100), 0x00);
    std::copy(press.begin(), press.end(), file.begin() + 1000);            // inside window 0
    std::copy(press.begin(), press.end(), file.begin() + (MiB - 4));       // straddles the edge
    DemoReader reader;
    ASSERT_EQ(reader.openMemory(file), 0);
    std::vector<uint8_t> scratch;
    EXPECT_TRUE(detectTrigger(reader, 990, 40, p.inputs(0), scratch));
    EXPECT_TRUE(scratch.empty());  // served in place
    EXPECT_TRUE(detectTrigger(reader, MiB - 20, 64, p.inputs(0), scratch));
    EXPECT_FALSE(detectTrigger(reader, MiB + 40, 64, p.inputs(0), scratch));
    // Claimed far beyond the file: only what is there is scanned.
    std::copy(press.begin(), press.end(), file.end() - 20);
    reader.openMemory(file);
    EXPECT_TRUE(detectTrigger(reader, static_cast<int64_t>(file.size()) - 30, 0xFFFFFFFFu, p.inputs(0), scratch));
    EXPECT_LE(scratch.size(), file.size());
    // The file ends right after the pattern: found. One byte earlier: not found,
    // however long the claim.
    Bytes endsAfter(file.begin(), file.end() - 11);
    reader.openMemory(endsAfter);
    EXPECT_TRUE(detectTrigger(reader, static_cast<int64_t>(endsAfter.size()) - 30, 0xFFFFFFFFu, p.inputs(0), scratch));
    Bytes cutFile(file.begin(), file.end() - 12);
    reader.openMemory(cutFile);
    EXPECT_FALSE(detectTrigger(reader, static_cast<int64_t>(cutFile.size()) - 30, 0xFFFFFFFFu, p.inputs(0), scratch));
    EXPECT_FALSE(detectTrigger(reader, static_cast<int64_t>(cutFile.size()), 100, p.inputs(0), scratch));
}

}  // namespace
}  // namespace rw
