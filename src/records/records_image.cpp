#include "records/records_image.h"

#include <cstdio>

#include "base/byte_cursor.h"
#include "records/crc32.h"
#include "records/records_file.h"

namespace rw {
namespace {

// Why the body does not decode: where, in which record, and what.
Failure bodyFailure(size_t offset, const std::string& record, const std::string& what) {
    return Failure{FailureKind::malformed, "at offset " + std::to_string(offset) + ": " + record + what};
}

// Reads one entry list: a count byte and that many entries.
Result<> parseEntries(ByteCursor& cur, bool withKinds, const std::string& record, const char* side,
                      std::vector<StoredEntry>& out) {
    auto fail = [&](size_t at, const std::string& what) { return bodyFailure(at, record, side + (" " + what)); };
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
    return success();
}

Result<> appendEntries(std::vector<uint8_t>& out, const std::vector<StoredEntry>& entries, bool withKinds,
                       const std::string& list) {
    auto unfit = [&](const std::string& what) { return Failure{FailureKind::malformed, list + what}; };
    if (entries.size() > 0xFF) return unfit(" holds more than 255 entries");
    out.push_back(static_cast<uint8_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const StoredEntry& e = entries[i];
        const bool pattern = !withKinds || e.isPattern();
        if (withKinds) out.push_back(e.kind);
        if (pattern) {
            if (e.bytes.empty() || e.bytes.size() > 0xFF) {
                return unfit(" entry " + std::to_string(i + 1) + ": a pattern holds 1 to 255 bytes");
            }
            out.push_back(static_cast<uint8_t>(e.bytes.size()));
        } else if (e.bytes.size() != kPositionSize) {
            return unfit(" entry " + std::to_string(i + 1) + ": a position is 6 bytes");
        }
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    return success();
}

}  // namespace

Result<std::vector<StoredMap>> parseRecordsBody(std::span<const uint8_t> file) {
    if (file.size() < kRecordsHeaderSize) return Failure{FailureKind::missing, "shorter than its 12-byte header"};
    ByteCursor cur(file, kRecordsHeaderSize);
    std::vector<StoredMap> maps;
    while (!cur.atEnd()) {
        const size_t recordAt = cur.offset();
        const std::string which = "map record " + std::to_string(maps.size() + 1) + ": ";
        StoredMap map;
        const uint8_t nameLen = cur.u8();
        const auto name = cur.bytes(nameLen);
        if (!cur.ok()) return bodyFailure(recordAt, which, "name runs past the end");
        map.nameField.assign(name.begin(), name.end());
        const size_t modeAt = cur.offset();
        map.mode = cur.u8();
        if (!cur.ok()) return bodyFailure(modeAt, which, "mode runs past the end");
        const bool withKinds = map.mode == kPositionMode;
        for (auto [side, list] : {std::pair{"start", &map.startEntries}, std::pair{"stop", &map.stopEntries}}) {
            if (Result<> r = parseEntries(cur, withKinds, which, side, *list); !r) return r.failure();
        }
        maps.push_back(std::move(map));
    }
    return maps;
}

Result<RecordsImage> verifyRecordsImage(std::span<const uint8_t> file, uint32_t maxFormatVersion) {
    const Result<RecordsHeader> header = parseRecordsHeader(file);
    if (!header) return header.failure();
    if (file.size() > kRecordsMaxFileSize) {
        return Failure{FailureKind::tooLarge, "larger than 1,048,576 bytes, which the program does not load"};
    }
    if (header->formatVersion > maxFormatVersion) {
        return Failure{FailureKind::newerFormat, "format version " + std::to_string(header->formatVersion) +
                                                     "; the program reads up to " + std::to_string(maxFormatVersion)};
    }
    const uint32_t computed = recordsBodyCrc(file);
    if (header->bodyCrc != computed) {
        char text[96];
        std::snprintf(text, sizeof text, "checksum mismatch: the header says %08X, the body gives %08X",
                      static_cast<unsigned>(header->bodyCrc), static_cast<unsigned>(computed));
        return Failure{FailureKind::checksum, text};
    }
    Result<std::vector<StoredMap>> body = parseRecordsBody(file);
    if (!body) return Failure{body.kind(), "the body does not decode " + body.text()};
    return RecordsImage{header->revision, header->formatVersion, std::move(*body)};
}

std::string mapNameOf(std::string_view nameField) {
    return lowerAscii(nameField.substr(0, nameField.find('\0')));
}

Result<std::vector<uint8_t>> encodeRecordsImage(const RecordsImage& image) {
    std::vector<uint8_t> out(kRecordsHeaderSize, 0);
    for (size_t i = 0; i < image.maps.size(); ++i) {
        const StoredMap& map = image.maps[i];
        const std::string which = "map record " + std::to_string(i + 1) + ": ";
        if (map.nameField.size() > 0xFF) return Failure{FailureKind::malformed, which + "name over 255 bytes"};
        out.push_back(static_cast<uint8_t>(map.nameField.size()));
        out.insert(out.end(), map.nameField.begin(), map.nameField.end());
        out.push_back(map.mode);
        const bool withKinds = map.mode == kPositionMode;
        if (Result<> r = appendEntries(out, map.startEntries, withKinds, which + "start"); !r) return r.failure();
        if (Result<> r = appendEntries(out, map.stopEntries, withKinds, which + "stop"); !r) return r.failure();
    }
    storeU32(out.data(), image.revision);
    storeU32(out.data() + 4, image.formatVersion);
    storeU32(out.data() + 8, crc32(std::span<const uint8_t>(out).subspan(kRecordsHeaderSize)));
    return out;
}

}  // namespace rw
