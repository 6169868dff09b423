#pragma once
// Writes RecData.dat images byte by byte for tests, independently of the
// program's own encoder: maps with raw name fields, modes and entries, header
// words, a right or deliberately wrong body checksum, and raw body bytes for
// malformed files.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rw::test {

using Bytes = std::vector<uint8_t>;

class RecDataBuilder {
public:
    class Map {
    public:
        // Message patterns; in mode 3 they are written with kind byte 1.
        Map& start(Bytes pattern);
        Map& stop(Bytes pattern);
        // Mode 3 button positions: kind byte (anything but 1), then x, y, z.
        Map& startAt(int16_t x, int16_t y, int16_t z, uint8_t kind = 0);
        Map& stopAt(int16_t x, int16_t y, int16_t z, uint8_t kind = 0);

    private:
        friend class RecDataBuilder;
        struct Entry {
            bool pattern;
            uint8_t kind;
            Bytes bytes;
        };
        std::string nameField_;
        uint8_t mode_ = 0;
        std::vector<Entry> start_;
        std::vector<Entry> stop_;
    };

    // The name field is written as given, NULs and capitals included. The
    // reference stays valid while the builder lives.
    Map& map(std::string nameField, uint8_t mode = 0);
    // Bytes written after the maps, as they are.
    RecDataBuilder& raw(Bytes bytes);
    RecDataBuilder& revision(uint32_t value);
    RecDataBuilder& formatVersion(uint32_t value);
    // Store this value instead of the body's CRC-32.
    RecDataBuilder& storedCrc(uint32_t value);
    // Store the body's CRC-32 with its lowest bit flipped.
    RecDataBuilder& wrongCrc();

    Bytes body() const;
    Bytes bytes() const;
    std::filesystem::path writeTo(const std::filesystem::path& path) const;

private:
    struct Part {
        bool isRaw;
        size_t index;
    };
    std::deque<Map> maps_;
    std::vector<Bytes> raws_;
    std::vector<Part> order_;
    uint32_t revision_ = 1;
    uint32_t formatVersion_ = 2;
    std::optional<uint32_t> storedCrc_;
    bool wrongCrc_ = false;
};

// Little-endian bytes of a position, as the file stores it.
Bytes positionBytes(int16_t x, int16_t y, int16_t z);
Bytes bytesOf(std::string_view text);

}  // namespace rw::test
