#include "recdata_builder.h"

#include <fstream>

namespace rw::test {
namespace {

// A plain bitwise CRC-32, so tests do not check the program's table with itself.
uint32_t referenceCrc32(const Bytes& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1u) ? 0xEDB88320u : 0u);
    }
    return ~c;
}

void putU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

Bytes positionBytes(int16_t x, int16_t y, int16_t z) {
    Bytes out;
    for (int16_t v : {x, y, z}) {
        const auto u = static_cast<uint16_t>(v);
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return out;
}

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

RecDataBuilder::Map& RecDataBuilder::Map::start(Bytes pattern) {
    start_.push_back({true, 1, std::move(pattern)});
    return *this;
}

RecDataBuilder::Map& RecDataBuilder::Map::stop(Bytes pattern) {
    stop_.push_back({true, 1, std::move(pattern)});
    return *this;
}

RecDataBuilder::Map& RecDataBuilder::Map::startAt(int16_t x, int16_t y, int16_t z, uint8_t kind) {
    start_.push_back({false, kind, positionBytes(x, y, z)});
    return *this;
}

RecDataBuilder::Map& RecDataBuilder::Map::stopAt(int16_t x, int16_t y, int16_t z, uint8_t kind) {
    stop_.push_back({false, kind, positionBytes(x, y, z)});
    return *this;
}

RecDataBuilder::Map& RecDataBuilder::map(std::string nameField, uint8_t mode) {
    Map& m = maps_.emplace_back();
    m.nameField_ = std::move(nameField);
    m.mode_ = mode;
    order_.push_back({false, maps_.size() - 1});
    return m;
}

RecDataBuilder& RecDataBuilder::raw(Bytes bytes) {
    raws_.push_back(std::move(bytes));
    order_.push_back({true, raws_.size() - 1});
    return *this;
}

RecDataBuilder& RecDataBuilder::revision(uint32_t value) {
    revision_ = value;
    return *this;
}

RecDataBuilder& RecDataBuilder::formatVersion(uint32_t value) {
    formatVersion_ = value;
    return *this;
}

RecDataBuilder& RecDataBuilder::storedCrc(uint32_t value) {
    storedCrc_ = value;
    return *this;
}

RecDataBuilder& RecDataBuilder::wrongCrc() {
    wrongCrc_ = true;
    return *this;
}

Bytes RecDataBuilder::body() const {
    Bytes out;
    auto putEntries = [&out](const std::vector<Map::Entry>& entries, bool withKinds) {
        out.push_back(static_cast<uint8_t>(entries.size()));
        for (const Map::Entry& e : entries) {
            if (withKinds) out.push_back(e.pattern ? uint8_t{1} : e.kind);
            if (e.pattern) out.push_back(static_cast<uint8_t>(e.bytes.size()));
            out.insert(out.end(), e.bytes.begin(), e.bytes.end());
        }
    };
    for (const Part& part : order_) {
        if (part.isRaw) {
            const Bytes& r = raws_[part.index];
            out.insert(out.end(), r.begin(), r.end());
            continue;
        }
        const Map& m = maps_[part.index];
        out.push_back(static_cast<uint8_t>(m.nameField_.size()));
        out.insert(out.end(), m.nameField_.begin(), m.nameField_.end());
        out.push_back(m.mode_);
        putEntries(m.start_, m.mode_ == 3);
        putEntries(m.stop_, m.mode_ == 3);
    }
    return out;
}

Bytes RecDataBuilder::bytes() const {
    const Bytes b = body();
    uint32_t crc = storedCrc_ ? *storedCrc_ : referenceCrc32(b);
    if (wrongCrc_) crc ^= 1u;
    Bytes out;
    putU32(out, revision_);
    putU32(out, formatVersion_);
    putU32(out, crc);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::filesystem::path RecDataBuilder::writeTo(const std::filesystem::path& path) const {
    const Bytes b = bytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return path;
}

}  // namespace rw::test
