#pragma once
// The local RecData.dat: its header, loading it whole within the size limits,
// its body checksum, and loading it into a RecordsDatabase. The records
// refresh and the command line build on these.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "records/records_database.h"

namespace rw {

struct RecordsHeader {
    uint32_t revision = 0;
    uint32_t formatVersion = 0;
    uint32_t bodyCrc = 0;  // as stored
};

// The three header words; none when fewer than 12 bytes are given.
std::optional<RecordsHeader> parseRecordsHeader(std::span<const uint8_t> bytes);

// The header of a file; none when the file cannot be read or is shorter than
// 12 bytes (such a file counts as missing).
std::optional<RecordsHeader> readLocalRecordsHeader(const std::filesystem::path& path);

// The whole file, only when it holds 12 to 1,048,576 bytes.
std::optional<std::vector<uint8_t>> loadRecordsFile(const std::filesystem::path& path);

// CRC-32 of the bytes after the header; 0 when there are none.
uint32_t recordsBodyCrc(std::span<const uint8_t> file);

// The path as the refresh messages show it: between two double quotes.
std::wstring quotedFileName(const std::filesystem::path& path);
// "CRC32 error in file: " and the quoted name.
std::wstring crcErrorText(const std::filesystem::path& path);

enum class LocalRecordsStatus {
    Loaded,            // checksum right, body decoded: state 1
    Missing,           // no file or under 12 bytes: the database is left as it was
    TooLarge,          // over 1 MiB, not loaded: state -1
    ChecksumMismatch,  // state -1
    Malformed,         // checksum right but a newer format or a body that does not decode: as a mismatch
};

// Loads a local records file into the database: reads it whole, sets
// `revision` from its header and `bodyCrc` to the checksum computed over its
// body, and decodes it when the program would load it (verifyRecordsImage).
// Every failure but Missing leaves state -1 and no records; the caller words
// it (crcErrorText is the program's message).
LocalRecordsStatus loadLocalRecords(RecordsDatabase& db, const std::filesystem::path& path);

}  // namespace rw
