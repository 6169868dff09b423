#include <gtest/gtest.h>

#include <optional>

#include "recdata.h"
#include "records/crc32.h"
#include "records/records_file.h"
#include "records/records_image.h"
#include "temp_dir.h"

namespace rw {
namespace {

using test::Bytes;
using test::bytesOf;

TEST(Crc32, KnownVectors) {
    EXPECT_EQ(crc32(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(bytesOf("")), 0u);
    EXPECT_EQ(crc32(std::vector<uint8_t>(32, 0x00)), 0x190A55ADu);
}

TEST(RecordsFile, HeaderAndBodyChecksum) {
    EXPECT_FALSE(parseRecordsHeader(Bytes(11, 0)));
    const Bytes file = test::recData("revision 16909060\nmap kz_a\nmode 0\nstart pattern 010203\n");
    const auto h = parseRecordsHeader(file);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->revision, 0x01020304u);
    EXPECT_EQ(h->formatVersion, 2u);
    EXPECT_EQ(h->bodyCrc, crc32(std::span(file).subspan(12)));
    EXPECT_EQ(recordsBodyCrc(file), h->bodyCrc);
    EXPECT_EQ(recordsBodyCrc(Bytes(12, 0xAB)), 0u);  // no body at all
    EXPECT_EQ(recordsBodyCrc(Bytes(5, 0xAB)), 0u);

    test::TempDir dir;
    EXPECT_FALSE(readLocalRecordsHeader(dir / "missing.dat"));
    EXPECT_FALSE(readLocalRecordsHeader(dir.write("short.dat", Bytes(11, 7))));
    EXPECT_FALSE(readLocalRecordsHeader(dir.path()));
    EXPECT_EQ(readLocalRecordsHeader(dir.write("RecData.dat", file))->revision, 0x01020304u);
}

TEST(RecordsFile, LoadsOnlyWithinTheSizeLimits) {
    test::TempDir dir;
    EXPECT_FALSE(loadRecordsFile(dir / "missing.dat"));
    EXPECT_FALSE(loadRecordsFile(dir.write("11.dat", Bytes(11, 1))));
    EXPECT_EQ(loadRecordsFile(dir.write("12.dat", Bytes(12, 1)))->size(), 12u);
    EXPECT_EQ(loadRecordsFile(dir.write("max.dat", Bytes(kRecordsMaxFileSize, 2)))->size(), kRecordsMaxFileSize);
    EXPECT_FALSE(loadRecordsFile(dir.write("over.dat", Bytes(kRecordsMaxFileSize + 1, 3))));
}

// What the program does with each file (loadLocalRecords), and why it refuses
// one in words for the person publishing it (verifyRecordsImage).
TEST(LocalRecords, EachFileGetsItsStatusAndReason) {
    using S = LocalRecordsStatus;
    const Bytes good = test::recData("revision 57\nmap KZ_B\nmode 0\nstart pattern 01\nmap kz_a\nmode 0\n");
    auto appended = [&good](const Bytes& record) {  // under a checksum made right
        Bytes file = good;
        file.insert(file.end(), record.begin(), record.end());
        return test::resealed(file);
    };
    Bytes headerOnly5 = test::recData(""), wrong = good, oversized = good;
    headerOnly5[8] = 5;
    wrong[8] ^= 1;
    oversized.resize(kRecordsMaxFileSize + 1);
    const struct {
        const char* what;
        std::optional<Bytes> file;  // none: no file at all
        S status;
        int32_t state;
        size_t maps;
        std::string reason;  // a part of it; empty: the file verifies
    } rows[] = {
        {"verified", good, S::Loaded, 1, 2, ""},
        {"header only, checksum 0", test::recData(""), S::Loaded, 1, 0, ""},
        {"header only, checksum 5", headerOnly5, S::ChecksumMismatch, -1, 0, "the header says 00000005, the body gives 00000000"},
        {"wrong checksum", wrong, S::ChecksumMismatch, -1, 0, "checksum mismatch"},
        {"name cut", appended({4, 'k', 'z', '_'}), S::Malformed, -1, 0, "offset 30: map record 3: name runs past the end"},
        {"entry cut", appended({3, 'k', 'z', '_', 0, 1, 9}), S::Malformed, -1, 0, "offset 37: map record 3: start entry 1 runs past the end"},
        {"empty pattern", appended({2, 'k', 'z', 0, 1, 1, 1, 1, 0}), S::Malformed, -1, 0, "stop entry 1 has length 0"},
        {"empty pattern, mode 3", appended({2, 'k', 'z', 3, 1, 1, 0}), S::Malformed, -1, 0, "start entry 1 has length 0"},
        {"newer format", test::recData("format 3\n"), S::Malformed, -1, 0, "format version 3; the program reads up to 2"},
        {"oversized", test::resealed(oversized), S::TooLarge, -1, 0, "larger than 1,048,576 bytes, which the program does not load"},
        {"missing", std::nullopt, S::Missing, 0, 0, ""},  // the database is left alone
        {"short", Bytes(11, 0), S::Missing, 0, 0, "shorter than its 12-byte header"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        test::TempDir dir;
        if (r.file) dir.write("RecData.dat", *r.file);
        RecordsDatabase db;
        EXPECT_EQ(loadLocalRecords(db, dir / "RecData.dat"), r.status);
        EXPECT_EQ(db.state, r.state);
        EXPECT_EQ(db.records.size(), r.maps);
        EXPECT_EQ(db.findMap("kz_a").has_value(), r.state == 1 && r.maps > 0);
        // The computed checksum, as the refresh compares, also for a mismatch.
        if (r.status == S::Loaded || r.status == S::ChecksumMismatch) {
            EXPECT_EQ(db.bodyCrc, recordsBodyCrc(*r.file));
            EXPECT_EQ(db.revision, parseRecordsHeader(*r.file)->revision);
        }
        if (!r.file) continue;
        const Result<RecordsImage> image = verifyRecordsImage(*r.file);
        EXPECT_EQ(image.ok(), r.reason.empty());
        EXPECT_NE(image.reason().find(r.reason), std::string::npos) << image.reason();
    }
}

}  // namespace
}  // namespace rw
