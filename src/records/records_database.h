#pragma once
// What the program knows about each climbing map: how to recognise its start
// and stop buttons in a demo, and its world-record lines.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_string.h"

namespace rw {

struct MapRecord {
    std::string name;               // lower case, at most 255 bytes, no NUL
    std::vector<std::string> runs;  // world-record lines, in records-list order
    uint8_t mode = 0;               // button detection mode; 0 to 3 detect
    std::vector<ByteString> startEntries;
    std::vector<ByteString> stopEntries;
    std::vector<bool> startKinds;  // mode 3 only: true = message pattern, false = 6-byte position
    std::vector<bool> stopKinds;
};

inline constexpr uint32_t kRecordsFormatVersion = 2;
inline constexpr size_t kRecordsHeaderSize = 12;
inline constexpr size_t kRecordsMaxFileSize = 1u << 20;

class RecordsDatabase {
public:
    explicit RecordsDatabase(std::filesystem::path fileName = "RecData.dat");

    std::vector<MapRecord> records;
    int32_t state = 0;  // 0 not loaded, 1 loaded and sorted, -1 failed its check
    uint32_t revision = 0;
    uint32_t bodyCrc = 0;
    std::filesystem::path fileName;
    uint32_t maxFormatVersion = kRecordsFormatVersion;

    // Decodes the body of a whole RecData.dat image (header included) whose
    // checksum the caller has verified, sorts, and sets state 1. The records
    // are replaced, not added to. An image shorter than the header, a body
    // that ends inside a record or one holding a zero-length pattern is
    // rejected: state -1, no records, false (the caller reports it like a
    // checksum failure).
    bool decodeRecords(std::span<const uint8_t> file);

    // Index of the record with this lower-case name; none unless state is 1.
    std::optional<size_t> findMap(std::string_view lowerName) const;
    uint32_t runCount(std::string_view lowerName) const;
    // A copy of the line, or empty when there is none.
    std::string runAt(std::string_view lowerName, uint32_t index) const;
};

}  // namespace rw
