#pragma once
// The message bytes of one frame as they lie in the file, without copying when
// they sit inside one of the reader's windows.
#include <cstdint>
#include <span>
#include <vector>

namespace rw {

class DemoReader;

// The bytes from offset up to offset + length that the file actually holds:
// a view into the reader's buffer when the block lies in one window, else the
// bytes read into scratch (grown as needed and kept for the next call). The
// view is valid until the next use of the reader or scratch. A block that runs
// past the end of the file yields only the bytes before the end.
std::span<const uint8_t> loadMessageBlock(DemoReader& reader, int64_t offset, uint32_t length,
                                          std::vector<uint8_t>& scratch);

}  // namespace rw
