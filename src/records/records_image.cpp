#include "records/records_image.h"

#include <cstdio>

#include "base/byte_cursor.h"
#include "records/crc32.h"
#include "records/records_file.h"

namespace rw {
namespace {

// Reads one entry list: a count byte and that many entries. Sets `error` and
// returns false at the first field that does not fit.
bool parseEntries(ByteCursor& cur, bool withKinds, const char* side, std::vector<StoredEntry>& out,
                  size_t& errorOffset, std::string& error) {
    auto fail = [&](size_t at, std::string what) {
        errorOffset = at;
        error = std::string(side) + " " + what;
        return false;
    };
    const size_t countAt = cur.offset();
    const uint8_t count = cur.u8();
    if (!cur.ok()) return fail(countAt, "entry count runs past the end");
    out.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const std::string which = "entry " + std::to_string(i + 1) + " ";
        StoredEntry entry;
        const size_t entryAt = cur.offset();
        if (withKinds) {
            entry.kind = cur.u8();
            if (!cur.ok()) return fail(entryAt, which + "kind runs past the end");
        }
        if (entry.isPattern()) {
            const size_t lenAt = cur.offset();
            const uint8_t len = cur.u8();
            if (!cur.ok()) return fail(lenAt, which + "length runs past the end");
            if (len == 0) return fail(lenAt, which + "has length 0");
            const auto bytes = cur.bytes(len);
            if (!cur.ok()) return fail(lenAt + 1, which + "runs past the end");
            entry.bytes.assign(bytes.begin(), bytes.end());
        } else {
            const size_t posAt = cur.offset();
            const auto bytes = cur.bytes(kPositionSize);
            if (!cur.ok()) return fail(posAt, which + "position runs past the end");
            entry.bytes.assign(bytes.begin(), bytes.end());
        }
        out.push_back(std::move(entry));
    }
    return true;
}

bool appendEntries(std::vector<uint8_t>& out, const std::vector<StoredEntry>& entries, bool withKinds) {
    if (entries.size() > 0xFF) return false;
    out.push_back(static_cast<uint8_t>(entries.size()));
    for (const StoredEntry& e : entries) {
        const bool pattern = !withKinds || e.isPattern();
        if (withKinds) out.push_back(e.kind);
        if (pattern) {
            if (e.bytes.empty() || e.bytes.size() > 0xFF) return false;
            out.push_back(static_cast<uint8_t>(e.bytes.size()));
        } else if (e.bytes.size() != kPositionSize) {
            return false;
        }
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    return true;
}

}  // namespace

RecordsBodyParse parseRecordsBody(std::span<const uint8_t> file) {
    RecordsBodyParse result;
    if (file.size() < kRecordsHeaderSize) {
        result.error = "shorter than the 12-byte header";
        return result;
    }
    ByteCursor cur(file, kRecordsHeaderSize);
    std::vector<StoredMap> maps;
    while (!cur.atEnd()) {
        const size_t recordAt = cur.offset();
        const std::string which = "map record " + std::to_string(maps.size() + 1) + ": ";
        StoredMap map;
        const uint8_t nameLen = cur.u8();
        const auto name = cur.bytes(nameLen);
        if (!cur.ok()) {
            result.errorOffset = recordAt;
            result.error = which + "name runs past the end";
            return result;
        }
        map.nameField.assign(name.begin(), name.end());
        const size_t modeAt = cur.offset();
        map.mode = cur.u8();
        if (!cur.ok()) {
            result.errorOffset = modeAt;
            result.error = which + "mode runs past the end";
            return result;
        }
        const bool withKinds = map.mode == kPositionMode;
        if (!parseEntries(cur, withKinds, "start", map.startEntries, result.errorOffset, result.error) ||
            !parseEntries(cur, withKinds, "stop", map.stopEntries, result.errorOffset, result.error)) {
            result.error = which + result.error;
            return result;
        }
        maps.push_back(std::move(map));
    }
    result.ok = true;
    result.maps = std::move(maps);
    return result;
}

Result<RecordsImage> verifyRecordsImage(std::span<const uint8_t> file, uint32_t maxFormatVersion) {
    const std::optional<RecordsHeader> header = parseRecordsHeader(file);
    if (!header) return Failure{"shorter than its 12-byte header"};
    if (file.size() > kRecordsMaxFileSize) {
        return Failure{"larger than 1,048,576 bytes, which the program does not load"};
    }
    if (header->formatVersion > maxFormatVersion) {
        return Failure{"format version " + std::to_string(header->formatVersion) + "; the program reads up to " +
                       std::to_string(maxFormatVersion)};
    }
    const uint32_t computed = recordsBodyCrc(file);
    if (header->bodyCrc != computed) {
        char text[96];
        std::snprintf(text, sizeof text, "checksum mismatch: the header says %08X, the body gives %08X",
                      static_cast<unsigned>(header->bodyCrc), static_cast<unsigned>(computed));
        return Failure{text};
    }
    RecordsBodyParse body = parseRecordsBody(file);
    if (!body.ok) {
        return Failure{"the body does not decode at offset " + std::to_string(body.errorOffset) + ": " + body.error};
    }
    return RecordsImage{header->revision, header->formatVersion, std::move(body.maps)};
}

std::string mapNameOf(std::string_view nameField) {
    return lowerAscii(nameField.substr(0, nameField.find('\0')));
}

std::optional<std::vector<uint8_t>> encodeRecordsImage(const RecordsImage& image) {
    std::vector<uint8_t> out(kRecordsHeaderSize, 0);
    for (const StoredMap& map : image.maps) {
        if (map.nameField.size() > 0xFF) return std::nullopt;
        out.push_back(static_cast<uint8_t>(map.nameField.size()));
        out.insert(out.end(), map.nameField.begin(), map.nameField.end());
        out.push_back(map.mode);
        const bool withKinds = map.mode == kPositionMode;
        if (!appendEntries(out, map.startEntries, withKinds) || !appendEntries(out, map.stopEntries, withKinds))
            return std::nullopt;
    }
    storeU32(out.data(), image.revision);
    storeU32(out.data() + 4, image.formatVersion);
    storeU32(out.data() + 8, crc32(std::span<const uint8_t>(out).subspan(kRecordsHeaderSize)));
    return out;
}

}  // namespace rw
