#pragma once
// CRC-32 of IEEE 802.3 (the one zlib and PNG use): reflected polynomial
// 0xEDB88320, initial value 0xFFFFFFFF, final complement. Empty input gives 0.
#include <cstdint>
#include <span>

namespace rw {

uint32_t crc32(std::span<const uint8_t> bytes);

}  // namespace rw
