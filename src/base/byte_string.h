#pragma once
// 8-bit strings as they come from demos and the records data: byte strings
// for patterns, and map names compared in ASCII lower case.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rw {

using ByteString = std::vector<uint8_t>;

// ASCII A-Z lowered, every other byte unchanged.
inline std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace rw
