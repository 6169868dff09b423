#pragma once
// A read cursor over untrusted bytes. The first short read sets a sticky
// failure flag; every later read fails too and yields zeros, so a parser can
// read a whole record and test ok() once at the end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "base/little_endian.h"

namespace rw {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes, size_t offset = 0)
        : data_(bytes.data()), len_(bytes.size()), off_(offset <= bytes.size() ? offset : bytes.size()),
          failed_(offset > bytes.size()) {}

    bool ok() const { return !failed_; }
    size_t offset() const { return off_; }
    size_t remaining() const { return len_ - off_; }
    bool atEnd() const { return off_ == len_; }

    // True when n more bytes are available; written so that it cannot overflow.
    bool has(size_t n) const { return !failed_ && n <= len_ - off_; }

    uint8_t u8() {
        uint8_t v = 0;
        take(&v, 1);
        return v;
    }
    uint16_t u16() {
        uint8_t b[2] = {};
        take(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    uint32_t u32() {
        uint8_t b[4] = {};
        take(b, 4);
        return loadU32(b);
    }
    int16_t i16() { return static_cast<int16_t>(u16()); }

    // A view of the next n bytes, or an empty span (and failure) when fewer remain.
    std::span<const uint8_t> bytes(size_t n) {
        if (!has(n)) {
            failed_ = true;
            return {};
        }
        std::span<const uint8_t> s(data_ + off_, n);
        off_ += n;
        return s;
    }
    bool skip(size_t n) { return !bytes(n).empty() || n == 0 ? ok() : false; }

private:
    void take(uint8_t* dst, size_t n) {
        if (!has(n)) {
            failed_ = true;
            return;
        }
        std::memcpy(dst, data_ + off_, n);
        off_ += n;
    }

    const uint8_t* data_;
    size_t len_;
    size_t off_;
    bool failed_;
};

}  // namespace rw
