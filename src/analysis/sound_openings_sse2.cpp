// The 16-lane scan; SSE2 is part of every x86-64 processor. Elsewhere the
// same positions are tested a byte at a time.
#include <cstring>

#include "analysis/sound_openings_vector.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>

namespace rw::openings {
namespace {

struct Ops {
    using V = __m128i;
    static constexpr size_t lanes = 16;
    static V load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static V splat(uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static V eq(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V both(V a, V b) { return _mm_and_si128(a, b); }
    static V either(V a, V b) { return _mm_or_si128(a, b); }
    static bool empty(V v) { return _mm_movemask_epi8(v) == 0; }
    static uint32_t bits(V v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
};

#include "analysis/sound_openings_scan.inc"

}  // namespace

bool forEachSse2(const uint8_t* block, size_t last, const Filter& filter, Visitor visit) {
    return scanFor(block, last, filter, visit);
}

}  // namespace rw::openings

#else

namespace rw::openings {

bool forEachSse2(const uint8_t* b, size_t last, const Filter& f, Visitor visit) {
    for (size_t p = 0; p <= last; ++p) {
        if (b[p] != 6) continue;
        const size_t i = p + 1;
        const bool open = (f.six && b[i] == 6 && f.afterSix.passes(b[i + f.afterSix.distance])) ||
                          (f.seven && b[i] == 7 && f.afterSeven.passes(b[i + f.afterSeven.distance]));
        if (open && visit(i, b[i])) return true;
    }
    return false;
}

}  // namespace rw::openings

#endif
