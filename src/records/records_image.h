#pragma once
// RecData.dat exactly as stored: the header words and every map record with
// its raw name field, mode and entries (mode-3 kind bytes kept as read). The
// database decodes from this; runwarden-recdata dumps and compiles it, so an
// image encodes back to the very bytes it was parsed from.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/byte_string.h"

namespace rw {

inline constexpr uint32_t kRecordsFormatVersion = 2;
inline constexpr size_t kRecordsHeaderSize = 12;
inline constexpr size_t kRecordsMaxFileSize = 1u << 20;

// One start or stop entry. Mode 3 stores a kind byte before each entry:
// 1 = message pattern, any other value = 6-byte button position. Other modes
// store no kind byte and every entry is a pattern (kind reads 1).
inline constexpr uint8_t kPatternKind = 1;
inline constexpr size_t kPositionSize = 6;
inline constexpr uint8_t kPositionMode = 3;

struct StoredEntry {
    uint8_t kind = kPatternKind;
    ByteString bytes;
    bool isPattern() const { return kind == kPatternKind; }
};

struct StoredMap {
    std::string nameField;  // the stored bytes; the map name ends at the first NUL
    uint8_t mode = 0;
    std::vector<StoredEntry> startEntries;
    std::vector<StoredEntry> stopEntries;
};

struct RecordsImage {
    uint32_t revision = 0;
    uint32_t formatVersion = kRecordsFormatVersion;
    std::vector<StoredMap> maps;
};

// Parses the body of a whole file image (header included; the body starts at
// offset 12). Fails (malformed) when a length, count or entry runs past the
// end or a pattern has length 0, with the offset and record in the text; an
// image shorter than the header is missing.
Result<std::vector<StoredMap>> parseRecordsBody(std::span<const uint8_t> file);

// The rule for a whole RecData.dat, wherever it comes from: the program uses
// it only when it holds 12 to 1,048,576 bytes (else missing or tooLarge), its
// format version is at most `maxFormatVersion` (newerFormat: a newer body
// layout is never read as this one), the stored checksum is the body's
// (checksum; a stored 0 is no exception) and the body decodes (malformed).
// The text says what is wrong in words fit for the person publishing the file.
Result<RecordsImage> verifyRecordsImage(std::span<const uint8_t> file,
                                        uint32_t maxFormatVersion = kRecordsFormatVersion);

// The map name of a stored name field: the bytes up to the first NUL, lowered.
std::string mapNameOf(std::string_view nameField);

// The file image with a freshly computed body checksum; malformed when a field
// does not fit the format (name or pattern over 255 bytes, an empty pattern,
// more than 255 entries in a list, a position that is not 6 bytes).
Result<std::vector<uint8_t>> encodeRecordsImage(const RecordsImage& image);

}  // namespace rw
