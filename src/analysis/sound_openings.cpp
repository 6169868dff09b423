#include "analysis/sound_openings.h"

#include "analysis/sound_openings_vector.h"

namespace rw::openings {
namespace {

bool openingAt(const uint8_t* b, size_t p, const Filter& f) {
    if (b[p] != 6) return false;
    const size_t i = p + 1;
    if (f.six && b[i] == 6 && f.afterSix.passes(b[i + f.afterSix.distance])) return true;
    return f.seven && b[i] == 7 && f.afterSeven.passes(b[i + f.afterSeven.distance]);
}

bool passesSomething(const NextByte& n) { return n.everything || n.count > 0; }

}  // namespace

void NextByte::allow(uint8_t v) {
    for (size_t k = 0; k < count; ++k) {
        if (values[k] == v) return;
    }
    if (count == sizeof values) {
        everything = true;
        return;
    }
    values[count++] = v;
}

bool NextByte::passes(uint8_t v) const {
    if (everything) return true;
    for (size_t k = 0; k < count; ++k) {
        if (values[k] == v) return true;
    }
    return false;
}

Filter prepared(Filter f) {
    f.six = f.six && passesSomething(f.afterSix) && f.afterSix.distance <= kMaxDistance;
    f.seven = f.seven && passesSomething(f.afterSeven) && f.afterSeven.distance <= kMaxDistance;
    return f;
}

bool forEachPrepared(std::span<const uint8_t> block, const Filter& f, Visitor visit) {
    if (block.size() < 9 || (!f.six && !f.seven)) return false;
    const uint8_t* const b = block.data();
    const size_t last = block.size() - 9;  // the pair starts at i-1 <= n-9
    static const bool avx2 = avx2Available();
    if (avx2 && last >= kAvx2MinLast) return forEachAvx2(b, last, f, visit);
    if (last >= kSse2MinLast) return forEachSse2(b, last, f, visit);
    // A byte at a time; b[p + 1 + distance] <= n-1 for p <= n-9.
    for (size_t p = 0; p <= last; ++p) {
        if (openingAt(b, p, f) && visit(p + 1, b[p + 1])) return true;
    }
    return false;
}

}  // namespace rw::openings
