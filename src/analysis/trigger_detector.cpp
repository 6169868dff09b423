#include "analysis/trigger_detector.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "analysis/message_block.h"
#include "analysis/sound_openings.h"

namespace rw {
namespace {

// Second byte of a sound message's opening before a button position's sound
// (6 comes before a pattern).
constexpr uint8_t kPositionPair = 0x07;
// Shortest block that holds one scan position.
constexpr size_t kMinBlock = 9;
// The byte after 06 07 in a button's sound message.
constexpr uint8_t kPositionSoundByte = 0xCC;
// A button position matches an origin closer than this on every axis.
constexpr int64_t kPositionTolerance = 165;

// Only pattern entries' first bytes may follow the opening at that distance.
void allowFirstBytes(openings::NextByte& next, size_t distance, const TriggerInputs& in, bool patternKindsOnly) {
    next.distance = distance;
    for (size_t k = 0; k < in.entries.size(); ++k) {
        if (patternKindsOnly && (k >= in.kinds.size() || in.kinds[k] == 0)) continue;
        if (!in.entries[k].empty()) next.allow(in.entries[k][0]);
    }
}

// A non-empty entry at from; from + len <= n is guaranteed by the caller's bound.
bool entryAt(std::span<const uint8_t> block, size_t from, const ByteString& entry) {
    return block[from] == entry[0] && std::memcmp(block.data() + from + 1, entry.data() + 1, entry.size() - 1) == 0;
}

// Pattern entries after 06 06: tried when i + 5 + len < n, compared from i + 6.
bool patternAfterPair66(std::span<const uint8_t> block, size_t i, const TriggerInputs& in, bool patternKindsOnly) {
    const size_t room = block.size() - i - 5;  // i <= n-8, so room >= 3
    for (size_t k = 0; k < in.entries.size(); ++k) {
        if (patternKindsOnly && (k >= in.kinds.size() || in.kinds[k] == 0)) continue;
        const ByteString& entry = in.entries[k];
        if (entry.empty() || entry.size() >= room) continue;
        if (entryAt(block, i + 6, entry)) return true;
    }
    return false;
}

// Pattern entries after 06 07: tried when i + 6 + len < n, compared from i + 7.
bool patternAfterPair67(std::span<const uint8_t> block, size_t i, const TriggerInputs& in) {
    const size_t room = block.size() - i - 6;  // >= 2
    for (const ByteString& entry : in.entries) {
        if (entry.empty() || entry.size() >= room) continue;
        if (entryAt(block, i + 7, entry)) return true;
    }
    return false;
}

// An origin coordinate truncated toward zero; none when it is not a number
// or too large for any position entry to be near it.
std::optional<int64_t> truncatedCoordinate(float v) {
    if (!(std::fabs(v) < 1.0e9f)) return std::nullopt;
    return static_cast<int64_t>(v);
}

struct PositionTest {
    bool wantEqual = false;  // select sound known: the bytes must name it
    int32_t lowByte = 0;     // bit 0 of the index, in the top bit of B[i+4]
    int32_t highByte = 0;    // bits 1 to 8 of the index, B[i+5]
    std::array<std::optional<int64_t>, 3> origin;
};

bool soundBytesPass(const PositionTest& t, uint8_t b4, uint8_t b5) {
    if (t.wantEqual) return b4 == t.lowByte && b5 == t.highByte;
    return b4 != t.lowByte && b5 != t.highByte;
}

bool positionEntryNear(const ByteString& entry, const PositionTest& t) {
    if (entry.size() != 6) return false;
    for (int axis = 0; axis < 3; ++axis) {
        if (!t.origin[axis]) return false;
        const auto at = static_cast<size_t>(axis * 2);
        const auto coordinate = static_cast<int16_t>(static_cast<uint16_t>(entry[at] | (entry[at + 1] << 8)));
        const int64_t diff = coordinate - *t.origin[axis];
        if (diff <= -kPositionTolerance || diff >= kPositionTolerance) return false;
    }
    return true;
}

// 06 07 CC 66 16, two sound bytes, 80: the sound of a used button, heard
// while the player stands near one of the position entries.
bool positionCheck(std::span<const uint8_t> block, size_t i, const TriggerInputs& in, const PositionTest& t) {
    const uint8_t* b = block.data();
    if (b[i + 1] != kPositionSoundByte || b[i + 2] != 0x66 || b[i + 3] != 0x16 || b[i + 6] != 0x80) return false;
    if (!soundBytesPass(t, b[i + 4], b[i + 5])) return false;
    for (size_t k = 0; k < in.entries.size() && k < in.kinds.size(); ++k) {
        if (in.kinds[k] == 0 && positionEntryNear(in.entries[k], t)) return true;
    }
    return false;
}

bool detectMode3(std::span<const uint8_t> block, const TriggerInputs& in, const openings::Filter& filter) {
    PositionTest t;
    if (filter.seven) {  // there are position entries
        const bool selectKnown = in.selectSoundIndex != kNoSoundIndex;
        const int32_t sound = selectKnown ? in.selectSoundIndex : in.denySoundIndex;
        t.wantEqual = selectKnown;
        t.lowByte = (sound & 1) << 7;
        t.highByte = sound >> 1;
        for (int axis = 0; axis < 3; ++axis) t.origin[axis] = truncatedCoordinate(in.origin[axis]);
    }
    return openings::forEachPrepared(block, filter, [&](size_t i, uint8_t second) {
        if (second == kPositionPair) return positionCheck(block, i, in, t);
        return patternAfterPair66(block, i, in, true);
    });
}

}  // namespace

openings::Filter triggerFilter(const TriggerInputs& in) {
    openings::Filter filter;
    switch (in.mode) {
        case 0:
        case 1:
            filter.six = true;
            allowFirstBytes(filter.afterSix, 6, in, false);
            break;
        case 2:
            filter.seven = true;
            allowFirstBytes(filter.afterSeven, 7, in, false);
            break;
        case 3: {
            bool anyPosition = false;
            bool anyPattern = false;
            for (uint8_t kind : in.kinds) (kind != 0 ? anyPattern : anyPosition) = true;
            if (anyPosition) {
                filter.seven = true;
                filter.afterSeven.distance = 1;
                filter.afterSeven.allow(kPositionSoundByte);
            }
            if (anyPattern) {
                filter.six = true;
                allowFirstBytes(filter.afterSix, 6, in, true);
            }
            break;
        }
        default:
            break;
    }
    return openings::prepared(filter);
}

bool detectTriggerInBlock(std::span<const uint8_t> block, const TriggerInputs& in, const openings::Filter& filter) {
    if (block.size() < kMinBlock) return false;
    switch (in.mode) {
        case 0:
        case 1:
            return openings::forEachPrepared(block, filter,
                                             [&](size_t i, uint8_t) { return patternAfterPair66(block, i, in, false); });
        case 2:
            return openings::forEachPrepared(block, filter,
                                             [&](size_t i, uint8_t) { return patternAfterPair67(block, i, in); });
        case 3:
            return detectMode3(block, in, filter);
        default:
            return false;
    }
}

bool detectTrigger(DemoReader& reader, int64_t offset, uint32_t length, const TriggerInputs& in,
                   const openings::Filter& filter, std::vector<uint8_t>& scratch) {
    // Nothing to find: spare the read.
    if (length < kMinBlock || in.mode > 3 || in.entries.empty()) return false;
    return detectTriggerInBlock(loadMessageBlock(reader, offset, length, scratch), in, filter);
}

}  // namespace rw
