#include "records/records_file.h"

#include "base/byte_cursor.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "records/crc32.h"

namespace rw {
namespace {

// A file too short to hold a header is treated as no file at all.
Failure tooShortIsMissing(Failure failure) {
    if (failure.kind == FailureKind::tooSmall) return Failure{FailureKind::missing, "shorter than its 12-byte header"};
    return failure;
}

}  // namespace

Result<RecordsHeader> parseRecordsHeader(std::span<const uint8_t> bytes) {
    ByteCursor cur(bytes);
    RecordsHeader h;
    h.revision = cur.u32();
    h.formatVersion = cur.u32();
    h.bodyCrc = cur.u32();
    if (!cur.ok()) return Failure{FailureKind::missing, "shorter than its 12-byte header"};
    return h;
}

Result<RecordsHeader> readLocalRecordsHeader(const std::filesystem::path& path) {
    const auto prefix = platform::readFilePrefix(path, kRecordsHeaderSize);
    if (!prefix) return tooShortIsMissing(prefix.failure());
    return parseRecordsHeader(*prefix);
}

Result<std::vector<uint8_t>> loadRecordsFile(const std::filesystem::path& path) {
    auto bytes = platform::readFileBounded(path, kRecordsHeaderSize, kRecordsMaxFileSize);
    if (!bytes) return tooShortIsMissing(bytes.failure());
    return bytes;
}

Result<RecordsImage> acceptRecordsFile(const std::filesystem::path& path) {
    const auto bytes = loadRecordsFile(path);
    if (!bytes) return bytes.failure();
    return verifyRecordsImage(*bytes, RecordsDatabase::maxFormatVersion);
}

uint32_t recordsBodyCrc(std::span<const uint8_t> file) {
    if (file.size() <= kRecordsHeaderSize) return 0;
    return crc32(file.subspan(kRecordsHeaderSize));
}

namespace {

// A path's native string is wide on Windows and UTF-8 bytes elsewhere. Unlike
// path::wstring(), neither route throws on odd names.
[[maybe_unused]] std::wstring nativeToWide(const std::wstring& native) { return native; }
[[maybe_unused]] std::wstring nativeToWide(const std::string& native) { return platform::utf8ToWide(native); }

}  // namespace

std::wstring quotedFileName(const std::filesystem::path& path) {
    return L"\"" + nativeToWide(path.native()) + L"\"";
}

std::wstring crcErrorText(const std::filesystem::path& path) { return L"CRC32 error in file: " + quotedFileName(path); }

std::wstring signatureErrorText(const std::filesystem::path& path) {
    return L"Signature error in file: " + quotedFileName(path);
}

}  // namespace rw
