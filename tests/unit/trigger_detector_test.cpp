#include "analysis/trigger_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "analysis/sound_openings_vector.h"
#include "demo_builder.h"

namespace rw {
namespace {

using test::Bytes;
namespace msg = test::msg;

// A block of random bytes drawn from few distinct values, so openings,
// patterns and sound messages are frequent.
template <size_t N>
Bytes randomBytes(std::mt19937& rng, const uint8_t (&alphabet)[N], size_t size) {
    Bytes b(size);
    for (auto& v : b) v = alphabet[rng() % N];
    return b;
}

// Scans a copy of exactly the block's size, so the sanitizer sees any read
// past it; the last `beyond` bytes follow the scanned block, as the rest of a
// frame would, where a scan reading too far would find them.
bool detect(const Bytes& block, const TriggerInputs& in, size_t beyond = 0) {
    auto exact = std::make_unique<uint8_t[]>(std::max<size_t>(block.size(), 1));
    std::copy(block.begin(), block.end(), exact.get());
    return detectTriggerInBlock(std::span<const uint8_t>(exact.get(), block.size() - beyond), in, triggerFilter(in));
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

// Each instruction set's scan visits the same places, in the same order, as
// the filter's plain reading, also where this processor would pick another.
void expectSameOpenings(const Bytes& block, const openings::Filter& f) {
    if (block.size() < 9 || (!f.six && !f.seven)) return;  // never handed to a scan
    const size_t last = block.size() - 9;
    std::vector<size_t> expected, seen;
    for (size_t i = 1; i <= last + 1; ++i) {
        if (block[i - 1] == 6 && ((f.six && block[i] == 6 && f.afterSix.passes(block[i + f.afterSix.distance])) ||
                                  (f.seven && block[i] == 7 && f.afterSeven.passes(block[i + f.afterSeven.distance]))))
            expected.push_back(i);
    }
    auto collect = [&seen](size_t i, uint8_t) {
        seen.push_back(i);
        return false;
    };
    const openings::Visitor visitor{
        [](void* c, size_t i, uint8_t s) { return (*static_cast<decltype(collect)*>(c))(i, s); }, &collect};
    openings::forEachPrepared(std::span<const uint8_t>(block), f, collect);
    EXPECT_EQ(seen, expected);
    if (last >= openings::kSse2MinLast) {
        seen.clear();
        openings::forEachSse2(block.data(), last, f, visitor);
        EXPECT_EQ(seen, expected) << "SSE2";
    }
    if (last >= openings::kAvx2MinLast && openings::avx2Available()) {
        seen.clear();
        openings::forEachAvx2(block.data(), last, f, visitor);
        EXPECT_EQ(seen, expected) << "AVX2";
    }
}

TEST(TriggerScan, VectorScanAnswersLikeThePlainRules) {
    std::mt19937 rng(20240601);
    const uint8_t alphabet[] = {0x06, 0x06, 0x07, 0xAA, 0xBB, 0xCC, 0x66, 0x16,
                                0x80, 0x00, 0x96, 0x01, 0x02, 0x03, 0x04};
    int found = 0;
    for (int round = 0; round < 30000; ++round) {
        std::vector<ByteString> entries;
        std::vector<uint8_t> kinds;
        const uint8_t mode = static_cast<uint8_t>(rng() % 5);
        const size_t count = rng() % 7;
        for (size_t k = 0; k < count; ++k) {
            const bool position = mode == 3 && rng() % 2;
            if (position) {
                entries.push_back(msg::positionEntry(rng() % 400, rng() % 400, rng() % 400));
                if (rng() % 8 == 0) entries.back().pop_back();  // not a position
            } else {
                entries.push_back(randomBytes(rng, alphabet, 1 + rng() % 4));
            }
            if (mode == 3) kinds.push_back(position ? 0 : 1);
        }
        if (rng() % 8 == 0) kinds.resize(kinds.size() / 2);  // entries without a kind are never used
        // Coordinates with fractions on both sides of zero, now and then none or a huge one.
        const auto coordinate = [&] {
            const float odd[] = {std::numeric_limits<float>::quiet_NaN(), 1.0e30f, -1.0e30f};
            return rng() % 50 == 0 ? odd[rng() % 3] : static_cast<float>(rng() % 1200) / 3.0f - 20.0f;
        };
        const int sounds[] = {300, 301, 512, 513, kNoSoundIndex, kNoSoundIndex};
        const int select = sounds[rng() % 6];
        const TriggerInputs in{entries, kinds, mode, select, sounds[rng() % 6],
                               {coordinate(), coordinate(), coordinate()}};
        Bytes block = randomBytes(rng, alphabet, rng() % 120);
        // Plant a true press somewhere now and then, often near the end.
        if (!entries.empty() && block.size() > 20 && rng() % 3 == 0) {
            const Bytes press = mode == 3 && !kinds.empty() && kinds[0] == 0
                                    ? msg::buttonSoundFor(select)
                                    : msg::buttonPattern(mode == 2 ? 7 : 6, entries[0]);
            const size_t at = block.size() - std::min(block.size(), press.size() + rng() % 6);
            std::copy_n(press.begin(), std::min(press.size(), block.size() - at), block.begin() + at);
        }
        // Now and then the last bytes lie past the scanned block, as the rest
        // of a frame would, where a scan reading too far would find them.
        const size_t beyond = rng() % 4 == 0 ? std::min<size_t>(block.size(), rng() % 8) : 0;
        const bool expected = plainDetect(Bytes(block.begin(), block.end() - static_cast<ptrdiff_t>(beyond)), in);
        found += expected;
        ASSERT_EQ(detect(block, in, beyond), expected) << "round " << round;
        expectSameOpenings(block, triggerFilter(in));
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    EXPECT_GT(found, 3000);  // the rounds do exercise matches
}

}  // namespace
}  // namespace rw
