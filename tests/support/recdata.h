#pragma once
// RecData.dat images for tests, compiled from the records text form by the
// program's own encoder. It writes only well-formed files: malformed ones are
// byte edits of its output.
#include <cstdio>
#include <cstdlib>

#include "records/crc32.h"
#include "records/records_text.h"

namespace rw::test {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Revision 1 unless the text gives one; text that does not compile aborts.
inline Bytes recData(std::string_view text) {
    Result<RecordsText> parsed = parseRecordsText(text, "test records text");
    if (parsed && !parsed->hasRevision) parsed->image.revision = 1;
    const Result<Bytes> bytes = parsed ? encodeRecordsImage(parsed->image) : parsed.failure();
    if (!bytes) {
        std::fprintf(stderr, "%s\n", bytes.text().c_str());
        std::abort();
    }
    return *bytes;
}

// Stores the checksum of the body as it now is, e.g. after cutting or extending it.
inline Bytes resealed(Bytes file) {
    const uint32_t crc = crc32(std::span<const uint8_t>(file).subspan(12));
    for (int i = 0; i < 4; ++i) file[8 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return file;
}

}  // namespace rw::test
