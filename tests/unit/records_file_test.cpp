#include <gtest/gtest.h>

#include <optional>

#include "recdata_builder.h"
#include "records/records_file.h"
#include "temp_dir.h"

namespace rw {
namespace {

using test::Bytes;
using test::RecDataBuilder;

TEST(RecordsHeader, NeedsTwelveBytes) {
    EXPECT_FALSE(parseRecordsHeader(Bytes(11, 0)));
    RecDataBuilder b;
    b.revision(0x01020304).formatVersion(2).storedCrc(0xDEADBEEF).map("kz_a");
    const auto h = parseRecordsHeader(b.bytes());
    ASSERT_TRUE(h);
    EXPECT_EQ(h->revision, 0x01020304u);
    EXPECT_EQ(h->formatVersion, 2u);
    EXPECT_EQ(h->bodyCrc, 0xDEADBEEFu);
}

TEST(RecordsFile, HeaderOfShortOrMissingFilesIsNotRead) {
    test::TempDir dir;
    EXPECT_FALSE(readLocalRecordsHeader(dir / "missing.dat"));
    EXPECT_FALSE(readLocalRecordsHeader(dir.write("short.dat", Bytes(11, 7))));
    EXPECT_FALSE(readLocalRecordsHeader(dir.path()));
    RecDataBuilder b;
    b.revision(57).storedCrc(0);
    const auto h = readLocalRecordsHeader(b.writeTo(dir / "RecData.dat"));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->revision, 57u);
}

TEST(RecordsFile, LoadsOnlyWithinTheSizeLimits) {
    test::TempDir dir;
    EXPECT_FALSE(loadRecordsFile(dir / "missing.dat"));
    EXPECT_FALSE(loadRecordsFile(dir.write("11.dat", Bytes(11, 1))));
    EXPECT_EQ(loadRecordsFile(dir.write("12.dat", Bytes(12, 1)))->size(), 12u);
    EXPECT_EQ(loadRecordsFile(dir.write("max.dat", Bytes(kRecordsMaxFileSize, 2)))->size(), kRecordsMaxFileSize);
    EXPECT_FALSE(loadRecordsFile(dir.write("over.dat", Bytes(kRecordsMaxFileSize + 1, 3))));
}

TEST(LocalRecords, EachFileGetsItsStatus) {
    using S = LocalRecordsStatus;
    RecDataBuilder good, headerOnly, zeroCrcMismatch, wrong, broken, oversized;
    good.revision(57).map("KZ_B").start({1});
    good.map("kz_a").start({2});
    zeroCrcMismatch.storedCrc(5);
    wrong.revision(3).wrongCrc().map("kz_a").start({1});
    broken.map("kz_a").start({1});
    broken.raw({4, 'k', 'z', '_'});  // the checksum is right over a broken body
    oversized.storedCrc(0).raw(Bytes(kRecordsMaxFileSize, 0));
    const struct {
        const char* what;
        std::optional<Bytes> file;  // none: no file at all
        S status;
        int32_t state;
        size_t maps;
    } rows[] = {
        {"verified", good.bytes(), S::Loaded, 1, 2},
        {"header only, checksum 0", headerOnly.bytes(), S::Loaded, 1, 0},
        {"header only, checksum 5", zeroCrcMismatch.bytes(), S::ChecksumMismatch, -1, 0},
        {"wrong checksum", wrong.bytes(), S::ChecksumMismatch, -1, 0},
        {"broken body", broken.bytes(), S::Malformed, -1, 0},
        {"oversized", oversized.bytes(), S::TooLarge, -1, 0},
        {"missing", std::nullopt, S::Missing, 0, 0},  // the database is left alone
        {"short", Bytes(11, 0), S::Missing, 0, 0},
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
    }
}

}  // namespace
}  // namespace rw
