#pragma once
// Fixed-size, zero-terminated wide text as shown in the result panel. Writers
// truncate safely at 259 characters, and the buffer never needs allocation.
// It is not safe to read while another thread writes it: results cross
// threads as whole copies through the ResultBoard (check_result.h).
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace rw {

inline constexpr size_t kTextCapacity = 260;

struct WideText {
    std::array<wchar_t, kTextCapacity> chars{};

    void clear() { chars.fill(L'\0'); }
    // Clears the whole buffer, then copies at most 259 characters.
    void assign(std::wstring_view text) {
        clear();
        size_t n = std::min(text.size(), kTextCapacity - 1);
        std::copy_n(text.data(), n, chars.data());
    }
    void append(std::wstring_view text) {
        size_t used = size();
        size_t n = std::min(text.size(), kTextCapacity - 1 - used);
        std::copy_n(text.data(), n, chars.data() + used);
        chars[used + n] = L'\0';
    }
    size_t size() const {
        size_t n = 0;
        while (n < kTextCapacity - 1 && chars[n] != L'\0') ++n;
        return n;
    }
    bool empty() const { return chars[0] == L'\0'; }
    std::wstring_view view() const { return std::wstring_view(chars.data(), size()); }
    const wchar_t* c_str() const { return chars.data(); }
};

}  // namespace rw
