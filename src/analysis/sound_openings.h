#pragma once
// Finds where a sound message may open in a network message block: the
// message number 6 followed by 6 or 7, with one byte at a fixed distance
// behind the pair narrowed to a few values. Every network block of a demo is
// scanned, so this runs 16 or 32 positions at a time where the processor
// allows. The narrowing only saves work: the caller checks each place found
// in full.
#include <cstddef>
#include <cstdint>
#include <span>

namespace rw::openings {

// Farthest byte after the pair's second byte that a filter may look at.
inline constexpr size_t kMaxDistance = 7;

// The values allowed at distance bytes after the pair's second byte. Allows
// nothing at first; past four distinct values it allows everything.
struct NextByte {
    size_t distance = 0;  // 0 to kMaxDistance
    uint8_t values[4] = {};
    size_t count = 0;
    bool everything = false;

    void allow(uint8_t v);
    bool passes(uint8_t v) const;
};

struct Filter {
    bool six = false;  // openings 06 06
    NextByte afterSix;
    bool seven = false;  // openings 06 07
    NextByte afterSeven;
};

struct Visitor {
    bool (*fn)(void* context, size_t i, uint8_t second);
    void* context;
    bool operator()(size_t i, uint8_t second) const { return fn(context, i, second); }
};

// The filter with every kind of opening switched off that can never pass.
// A caller scanning many blocks with one filter prepares it once.
Filter prepared(Filter filter);

// Calls visit(i, B[i]) in ascending order for the scan positions i (1 to
// n-8) where the filter, which prepared() made, lets an opening through,
// until visit answers true; true then.
bool forEachPrepared(std::span<const uint8_t> block, const Filter& filter, Visitor visit);

template <class F>
Visitor visitorOf(F& visit) {
    return {[](void* c, size_t i, uint8_t second) { return (*static_cast<F*>(c))(i, second); },
            const_cast<void*>(static_cast<const void*>(&visit))};
}

template <class F>
bool forEachPrepared(std::span<const uint8_t> block, const Filter& filter, F&& visit) {
    return forEachPrepared(block, filter, visitorOf(visit));
}

}  // namespace rw::openings
