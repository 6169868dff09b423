#pragma once
// RecData.dat exactly as stored: the header words and every map record with
// its raw name field, mode and entries (mode-3 kind bytes kept as read). The
// database decodes from this; runwarden-recdata dumps and compiles it, so an
// image encodes back to the very bytes it was parsed from.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "records/records_database.h"

namespace rw {

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

struct RecordsBodyParse {
    bool ok = false;
    std::vector<StoredMap> maps;  // empty unless ok
    size_t errorOffset = 0;       // file offset of the field that did not fit
    std::string error;
};

// Parses the body of a whole file image (header included; the body starts at
// offset 12). Fails when the image is shorter than the header, when a length,
// count or entry runs past the end, or when a pattern has length 0.
RecordsBodyParse parseRecordsBody(std::span<const uint8_t> file);

// A whole RecData.dat as the program would load it: 12 bytes to 1 MiB, a
// format version up to `maxFormatVersion`, the stored checksum equal to the
// body's, and a body that parses. The reason says what is wrong in words fit
// for the person publishing the file.
Result<RecordsImage> verifyRecordsImage(std::span<const uint8_t> file,
                                        uint32_t maxFormatVersion = kRecordsFormatVersion);

// The map name of a stored name field: the bytes up to the first NUL, lowered.
std::string mapNameOf(std::string_view nameField);

// The file image with a freshly computed body checksum; none when a field does
// not fit the format (name or pattern over 255 bytes, an empty pattern, more
// than 255 entries in a list, a position that is not 6 bytes).
std::optional<std::vector<uint8_t>> encodeRecordsImage(const RecordsImage& image);

}  // namespace rw
