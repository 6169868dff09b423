#include <gtest/gtest.h>

#include <fstream>

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

class LocalRecordsTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir / "RecData.dat"; }
    LocalRecordsStatus load(const RecDataBuilder& b) {
        b.writeTo(file());
        return loadLocalRecords(db, file());
    }
    void expectCrcFailure() const {
        EXPECT_EQ(db.state, -1);
        EXPECT_TRUE(db.records.empty());
        EXPECT_FALSE(db.findMap("kz_a"));
    }
    test::TempDir dir;
    RecordsDatabase db;
};

TEST_F(LocalRecordsTest, VerifiedFileIsDecoded) {
    RecDataBuilder b;
    b.revision(57).map("KZ_B").start({1});
    b.map("kz_a").start({2});
    EXPECT_EQ(load(b), LocalRecordsStatus::Loaded);
    EXPECT_EQ(db.state, 1);
    EXPECT_EQ(db.revision, 57u);
    EXPECT_EQ(db.bodyCrc, recordsBodyCrc(b.bytes()));
    ASSERT_EQ(db.records.size(), 2u);
    EXPECT_EQ(db.records[0].name, "kz_a");
    EXPECT_EQ(db.records[1].name, "kz_b");
}

TEST_F(LocalRecordsTest, HeaderOnlyFileWithChecksumZeroIsEmptyAndLoaded) {
    RecDataBuilder b;
    EXPECT_EQ(load(b), LocalRecordsStatus::Loaded);
    EXPECT_EQ(db.state, 1);
    EXPECT_TRUE(db.records.empty());
    RecordsDatabase other;
    b.storedCrc(5).writeTo(file());
    EXPECT_EQ(loadLocalRecords(other, file()), LocalRecordsStatus::ChecksumMismatch);
}

TEST_F(LocalRecordsTest, WrongChecksumFails) {
    RecDataBuilder b;
    b.revision(3).wrongCrc().map("kz_a").start({1});
    EXPECT_EQ(load(b), LocalRecordsStatus::ChecksumMismatch);
    expectCrcFailure();
    EXPECT_EQ(db.revision, 3u);
    EXPECT_EQ(db.bodyCrc, recordsBodyCrc(b.bytes()));  // the computed one, as the refresh compares
}

TEST_F(LocalRecordsTest, RightChecksumOverBrokenBodyFailsAlike) {
    RecDataBuilder b;
    b.map("kz_a").start({1});
    b.raw({4, 'k', 'z', '_'});
    EXPECT_EQ(load(b), LocalRecordsStatus::Malformed);
    expectCrcFailure();
}

TEST_F(LocalRecordsTest, MissingOrShortFileLeavesTheDatabaseAlone) {
    EXPECT_EQ(loadLocalRecords(db, file()), LocalRecordsStatus::Missing);
    dir.write("RecData.dat", Bytes(11, 0));
    EXPECT_EQ(loadLocalRecords(db, file()), LocalRecordsStatus::Missing);
    EXPECT_EQ(db.state, 0);
}

TEST_F(LocalRecordsTest, OversizedFileIsNotLoaded) {
    RecDataBuilder b;
    b.storedCrc(0).raw(Bytes(kRecordsMaxFileSize, 0));
    EXPECT_EQ(load(b), LocalRecordsStatus::TooLarge);
    expectCrcFailure();
}

}  // namespace
}  // namespace rw
