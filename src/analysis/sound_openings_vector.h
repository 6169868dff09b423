#pragma once
// The vector scans behind openings::forEachPrepared, one per instruction set. Each
// lives in a translation unit of its own compiled for that set, with all of
// its code internal, so no AVX2 instruction can leak into code that runs on
// processors without it.
#include <cstddef>
#include <cstdint>

#include "analysis/sound_openings.h"

namespace rw::openings {

// The shortest blocks each scan takes, as last = n-9: one step of two vectors.
inline constexpr size_t kSse2MinLast = 31;
inline constexpr size_t kAvx2MinLast = 63;

// The filter as forEachPrepared hands it on: at least one kind of opening enabled,
// and each only when some next byte can pass.
bool forEachSse2(const uint8_t* block, size_t last, const Filter& filter, Visitor visit);
// Only on processors that have AVX2.
bool forEachAvx2(const uint8_t* block, size_t last, const Filter& filter, Visitor visit);
bool avx2Available();

}  // namespace rw::openings
