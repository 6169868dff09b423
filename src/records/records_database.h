#pragma once
// What the program knows about each climbing map: how to recognise its start
// and stop buttons in a demo, and its world-record lines.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_string.h"
#include "records/records_image.h"

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

// Whether the records may be looked up.
enum class RecordsState {
    notLoaded,  // from construction until the refresh decides
    loaded,     // decoded and sorted (possibly empty)
    rejected,   // the file failed its check: no records for the rest of the run
};

class RecordsDatabase {
public:
    explicit RecordsDatabase(std::filesystem::path fileName = "RecData.dat");

    std::vector<MapRecord> records;
    RecordsState state = RecordsState::notLoaded;
    uint32_t revision = 0;  // the local file's, as the refresh read it
    uint32_t bodyCrc = 0;   // the body checksum stored in the local file's header
    std::filesystem::path fileName;
    // The highest RecData.dat format this program reads.
    static constexpr uint32_t maxFormatVersion = kRecordsFormatVersion;

    // Takes the maps of an image that passed verifyRecordsImage: names cut at
    // their first NUL and lowered, kind bits for mode 3, sorted by name; state
    // becomes loaded. The records are replaced, not added to.
    void decodeRecords(RecordsImage image);

    // Index of the record with this lower-case name; none unless loaded.
    std::optional<size_t> findMap(std::string_view lowerName) const;
    uint32_t runCount(std::string_view lowerName) const;
    // A copy of the line, or empty when there is none.
    std::string runAt(std::string_view lowerName, uint32_t index) const;
};

}  // namespace rw
