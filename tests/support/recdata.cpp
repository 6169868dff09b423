#include "recdata.h"

#include <cstdio>
#include <cstdlib>
#include <span>

#include "records/crc32.h"
#include "records/records_text.h"

namespace rw::test {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes recData(std::string_view text) {
    RecordsTextParse parsed = parseRecordsText(text);
    if (!parsed.hasRevision) parsed.image.revision = 1;
    const auto bytes = parsed.ok ? encodeRecordsImage(parsed.image) : std::nullopt;
    if (!bytes) {
        std::fprintf(stderr, "test records text line %zu: %s\n", parsed.error.line, parsed.error.message.c_str());
        std::abort();
    }
    return *bytes;
}

Bytes resealed(Bytes file) {
    const uint32_t crc = crc32(std::span<const uint8_t>(file).subspan(12));
    for (int i = 0; i < 4; ++i) file[8 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return file;
}

}  // namespace rw::test
