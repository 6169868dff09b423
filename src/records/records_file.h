#pragma once
// The local RecData.dat: its header, loading it whole within the size limits,
// its body checksum, and the one test that decides whether the program uses
// it. The records refresh and the command line build on these.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "records/records_database.h"

namespace rw {

struct RecordsHeader {
    uint32_t revision = 0;
    uint32_t formatVersion = 0;
    uint32_t bodyCrc = 0;  // as stored
};

// The three header words; missing when fewer than 12 bytes are given.
Result<RecordsHeader> parseRecordsHeader(std::span<const uint8_t> bytes);

// The header of a file; missing when there is no file or it is shorter than
// 12 bytes (such a file counts as missing), system when it cannot be read.
Result<RecordsHeader> readLocalRecordsHeader(const std::filesystem::path& path);

// The whole file, only when it holds 12 to 1,048,576 bytes; a shorter file
// is missing.
Result<std::vector<uint8_t>> loadRecordsFile(const std::filesystem::path& path);

// Whether the program uses this local records file, and its decoded image if
// so: loadRecordsFile, then verifyRecordsImage with this program's format.
// The window's refresh, runwarden-check and its --refresh all decide here.
Result<RecordsImage> acceptRecordsFile(const std::filesystem::path& path);

// CRC-32 of the bytes after the header; 0 when there are none.
uint32_t recordsBodyCrc(std::span<const uint8_t> file);

// The path as the refresh messages show it: between two double quotes.
std::wstring quotedFileName(const std::filesystem::path& path);
// "CRC32 error in file: " and the quoted name.
std::wstring crcErrorText(const std::filesystem::path& path);
// "Signature error in file: " and the quoted name.
std::wstring signatureErrorText(const std::filesystem::path& path);

}  // namespace rw
