#pragma once
// Reading UTF-8 from text that may not be valid.
#include <cstddef>
#include <string_view>

namespace rw {

struct Utf8Char {
    char32_t code = 0;
    size_t length = 0;  // 0: no valid sequence starts here
};

// The character whose sequence starts at text[i]. Overlong forms, surrogates
// and values past U+10FFFF are not valid.
inline Utf8Char decodeUtf8(std::string_view text, size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || length > text.size() - i) return {};
    char32_t code = length == 1 ? b : b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return {};
        code = (code << 6) | (c & 0x3F);
    }
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {code, length};
}

}  // namespace rw
