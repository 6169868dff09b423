#include "records/records_file.h"

#include "base/byte_cursor.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "records/crc32.h"
#include "records/records_image.h"

namespace rw {

std::optional<RecordsHeader> parseRecordsHeader(std::span<const uint8_t> bytes) {
    ByteCursor cur(bytes);
    RecordsHeader h;
    h.revision = cur.u32();
    h.formatVersion = cur.u32();
    h.bodyCrc = cur.u32();
    if (!cur.ok()) return std::nullopt;
    return h;
}

std::optional<RecordsHeader> readLocalRecordsHeader(const std::filesystem::path& path) {
    const auto prefix = platform::readFilePrefix(path, kRecordsHeaderSize);
    if (!prefix) return std::nullopt;
    return parseRecordsHeader(*prefix);
}

std::optional<std::vector<uint8_t>> loadRecordsFile(const std::filesystem::path& path) {
    return platform::readFileBounded(path, kRecordsHeaderSize, kRecordsMaxFileSize);
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

LocalRecordsStatus loadLocalRecords(RecordsDatabase& db, const std::filesystem::path& path) {
    const auto header = readLocalRecordsHeader(path);
    if (!header) return LocalRecordsStatus::Missing;
    db.revision = header->revision;
    db.bodyCrc = header->bodyCrc;

    auto fail = [&](LocalRecordsStatus status) {
        db.records.clear();
        db.state = -1;
        return status;
    };

    const auto file = loadRecordsFile(path);
    if (!file) {
        const auto size = platform::fileSize(path);
        return fail(size && *size > kRecordsMaxFileSize ? LocalRecordsStatus::TooLarge
                                                        : LocalRecordsStatus::ChecksumMismatch);
    }
    // The bytes actually loaded win over the first read of the header.
    const auto loaded = parseRecordsHeader(*file);
    if (!loaded) return fail(LocalRecordsStatus::ChecksumMismatch);
    db.revision = loaded->revision;
    db.bodyCrc = recordsBodyCrc(*file);
    if (!verifyRecordsImage(*file, db.maxFormatVersion)) {
        return fail(db.bodyCrc != loaded->bodyCrc ? LocalRecordsStatus::ChecksumMismatch
                                                  : LocalRecordsStatus::Malformed);
    }
    db.decodeRecords(*file);
    return LocalRecordsStatus::Loaded;
}

}  // namespace rw
