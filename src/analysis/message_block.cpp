#include "analysis/message_block.h"

#include <algorithm>
#include <new>

#include "analysis/demo_reader.h"

namespace rw {

std::span<const uint8_t> loadMessageBlock(DemoReader& reader, int64_t offset, uint32_t length,
                                          std::vector<uint8_t>& scratch) {
    const int64_t size = reader.size();
    if (length == 0 || offset < 0 || offset >= size) return {};
    // Never more than the file holds, whatever the frame claims.
    const auto want = static_cast<uint32_t>(std::min<int64_t>(length, size - offset));
    if (const uint8_t* inPlace = reader.viewInPlace(offset, want)) return {inPlace, want};
    if (scratch.size() < want) {
        try {
            scratch.resize(want);
        } catch (const std::bad_alloc&) {
            return {};  // a block this large is not worth failing the check over
        }
    }
    int64_t position = offset;
    reader.read(position, scratch.data(), want);
    return {scratch.data(), static_cast<size_t>(position - offset)};
}

}  // namespace rw
