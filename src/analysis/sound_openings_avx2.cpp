// The 32-lane scan for processors with AVX2, chosen at run time. The whole
// unit is compiled for AVX2 and keeps all of its code internal; nothing here
// runs unless avx2Available() said so.
#include "analysis/sound_openings_vector.h"

// Not on Windows: MinGW's GCC assumes a 16-byte aligned stack there and may
// spill 32-byte vectors with aligned moves that fault.
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace rw::openings {
namespace {

struct Ops {
    using V = __m256i;
    static constexpr size_t lanes = 32;
    static V load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static V splat(uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static V eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V both(V a, V b) { return _mm256_and_si256(a, b); }
    static V either(V a, V b) { return _mm256_or_si256(a, b); }
    static bool empty(V v) { return _mm256_testz_si256(v, v) != 0; }
    static uint32_t bits(V v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
};

#include "analysis/sound_openings_scan.inc"

}  // namespace

bool forEachAvx2(const uint8_t* block, size_t last, const Filter& filter, Visitor visit) {
    return scanFor(block, last, filter, visit);
}

}  // namespace rw::openings

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace rw::openings {

bool avx2Available() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace rw::openings

#else

namespace rw::openings {

bool forEachAvx2(const uint8_t*, size_t, const Filter&, Visitor) { return false; }
bool avx2Available() { return false; }

}  // namespace rw::openings

#endif
