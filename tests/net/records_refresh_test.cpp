// The records refresh against a real HTTP server: which file ends up on disk
// and in the database, which message is left, and which requests were made.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "recdata_builder.h"
#include "records/records_file.h"
#include "records/records_refresh.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using test::RecDataBuilder;
using test::ServedFolder;
using test::TempDir;
using test::TestServer;

constexpr const char* kServerFile = "intern/Runwarden/RecData.dat";

RecDataBuilder twoMaps(uint32_t revision) {
    RecDataBuilder b;
    b.revision(revision);
    b.map("kz_b").start(test::bytesOf("go")).stop(test::bytesOf("end"));
    b.map("KZ_A").start(test::bytesOf("s")).stop(test::bytesOf("t"));
    return b;
}

RecDataBuilder threeMaps(uint32_t revision) {
    RecDataBuilder b = twoMaps(revision);
    b.map("kz_c").start(test::bytesOf("c1")).stop(test::bytesOf("c2"));
    return b;
}

// The body changed after the checksum was stored: a file that fails its check.
Bytes damaged(const RecDataBuilder& b) {
    Bytes bytes = b.bytes();
    bytes.back() ^= 0x5A;
    return bytes;
}

class RecordsRefresh : public ::testing::Test {
protected:
    RecordsRefresh() : db(dir / "RecData.dat") {
        sources.recordsUrl = served.url(kServerFile);
        sources.runsListUrl = served.url("demos_tcl.txt");
        served.put("demos_tcl.txt", std::string_view("records list\nkz_a 01:02.33 player\nkz_c[pro] 00:59.00 x\n"));
    }

    void serve(const Bytes& bytes) { served.put(kServerFile, bytes); }
    void writeLocal(const Bytes& bytes) { dir.write("RecData.dat", bytes); }
    Bytes local() const { return test::readAll(dir / "RecData.dat"); }
    bool localExists() const { return std::filesystem::exists(dir / "RecData.dat"); }

    // The refresh's message, "(none)" when it leaves none.
    std::wstring refresh(RecordsDatabase& d, std::optional<std::vector<uint8_t>>* list = nullptr) const {
        return refreshRecords(d, sources, list).value_or(L"(none)");
    }
    std::wstring quoted() const { return quotedFileName(db.fileName); }

    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const MapRecord& r : db.records) n.push_back(r.name);
        return n;
    }
    bool listFetched() const {
        const auto log = served.requests();
        return std::find(log.begin(), log.end(), "RWUpdate /demos_tcl.txt") != log.end();
    }
    size_t recordsDownloads() const {
        const auto log = served.requests();
        return static_cast<size_t>(std::count(log.begin(), log.end(), "VoZedida /intern/Runwarden/RecData.dat"));
    }
    bool partFileLeft() const { return std::filesystem::exists(dir / "RecData.dat.part"); }

    ServedFolder served;
    TempDir dir;
    RecordsDatabase db;
    RecordsSources sources;
};

TEST(RecordsRefreshMessages, NameTheFileAsTheProgramDoes) {
    const RecordsDatabase db;  // "RecData.dat" in the current folder
    EXPECT_EQ(updatedFileText(db, 57), L"Updated file: \"RecData.dat\" (57)");
    EXPECT_EQ(restoredFileText(db), L"Restored file: \"RecData.dat\"");
    EXPECT_EQ(crcErrorText(db.fileName), L"CRC32 error in file: \"RecData.dat\"");
    EXPECT_EQ(kConnectionMessage, L"Unable to connect to update server!");
}

TEST_F(RecordsRefresh, EqualHeadersNeedNoDownloadAndNoMessage) {
    serve(twoMaps(7).bytes());
    writeLocal(twoMaps(7).bytes());
    std::optional<std::vector<uint8_t>> list;
    EXPECT_EQ(refresh(db, &list), L"(none)");
    EXPECT_EQ(db.state, 1);
    EXPECT_EQ(db.revision, 7u);
    EXPECT_EQ(names(), (std::vector<std::string>{"kz_a", "kz_b"}));
    EXPECT_EQ(recordsDownloads(), 1u);  // the header only
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(std::string(list->begin(), list->end()), "records list\nkz_a 01:02.33 player\nkz_c[pro] 00:59.00 x\n");
    EXPECT_EQ(db.runCount("kz_a"), 1u);
    EXPECT_EQ(db.runAt("kz_a", 0), "01:02.33 player");
}

TEST_F(RecordsRefresh, DifferentRevisionOrChecksumDownloadsTheServerFile) {
    // Same revision, different body: the checksum alone tells them apart.
    serve(threeMaps(57).bytes());
    writeLocal(twoMaps(57).bytes());
    EXPECT_EQ(refresh(db), L"Updated file: " + quoted() + L" (57)");
    EXPECT_EQ(local(), threeMaps(57).bytes());
    EXPECT_EQ(names(), (std::vector<std::string>{"kz_a", "kz_b", "kz_c"}));
    EXPECT_EQ(db.runAt("kz_c", 0), "[pro] 00:59.00 x");
    EXPECT_FALSE(partFileLeft());

    RecordsDatabase again(dir / "RecData.dat");
    serve(twoMaps(58).bytes());
    EXPECT_EQ(refresh(again), L"Updated file: " + quoted() + L" (58)");
    EXPECT_EQ(local(), twoMaps(58).bytes());
}

TEST_F(RecordsRefresh, NewerServerFormatIsNeverDownloaded) {
    RecDataBuilder future = threeMaps(90);
    future.formatVersion(3);
    serve(future.bytes());

    writeLocal(twoMaps(5).bytes());
    EXPECT_EQ(refresh(db), L"(none)");
    EXPECT_EQ(local(), twoMaps(5).bytes());
    EXPECT_EQ(db.state, 1);

    // Nor is a damaged local file restored from it.
    RecordsDatabase second(dir / "RecData.dat");
    writeLocal(damaged(twoMaps(5)));
    EXPECT_EQ(refresh(second), L"CRC32 error in file: " + quoted());
    EXPECT_EQ(second.state, -1);
    EXPECT_TRUE(second.records.empty());
    EXPECT_EQ(local(), damaged(twoMaps(5)));
}

TEST_F(RecordsRefresh, MissingOrDamagedLocalFileIsRestored) {
    serve(twoMaps(9).bytes());
    EXPECT_EQ(refresh(db), L"Restored file: " + quoted());
    EXPECT_EQ(local(), twoMaps(9).bytes());
    EXPECT_EQ(names(), (std::vector<std::string>{"kz_a", "kz_b"}));
    EXPECT_TRUE(listFetched());

    // Same header as the server's, damaged body: no update, but a restore.
    RecordsDatabase second(dir / "RecData.dat");
    writeLocal(damaged(twoMaps(9)));
    EXPECT_EQ(refresh(second), L"Restored file: " + quoted());
    EXPECT_EQ(local(), twoMaps(9).bytes());
    EXPECT_EQ(second.state, 1);

    // A local file too short for a header counts as missing.
    RecordsDatabase third(dir / "RecData.dat");
    writeLocal(Bytes{1, 2, 3});
    EXPECT_EQ(refresh(third), L"Restored file: " + quoted());
    EXPECT_EQ(local(), twoMaps(9).bytes());
}

TEST_F(RecordsRefresh, OversizedLocalFileFailsItsCheckAndIsRestored) {
    serve(twoMaps(3).bytes());
    // Past 1 MiB, so never loaded, with the server's header so no update is due.
    RecDataBuilder big = twoMaps(3);
    big.raw(Bytes(kRecordsMaxFileSize, 0));
    big.storedCrc(parseRecordsHeader(twoMaps(3).bytes())->bodyCrc);
    writeLocal(big.bytes());
    EXPECT_EQ(refresh(db), L"Restored file: " + quoted());
    EXPECT_EQ(local(), twoMaps(3).bytes());
    EXPECT_EQ(db.state, 1);
}

TEST_F(RecordsRefresh, HeaderOnlyFileWithChecksumZeroVerifies) {
    RecDataBuilder empty;
    empty.revision(4);
    ASSERT_EQ(empty.bytes().size(), 12u);
    serve(empty.bytes());
    writeLocal(empty.bytes());
    EXPECT_EQ(refresh(db), L"(none)");
    EXPECT_EQ(db.state, 1);
    EXPECT_TRUE(db.records.empty());
    EXPECT_TRUE(listFetched());
}

TEST_F(RecordsRefresh, UnreachableServer) {
    sources.recordsUrl = TestServer::instance().deadUrl("/intern/Runwarden/RecData.dat");

    writeLocal(twoMaps(2).bytes());
    EXPECT_EQ(refresh(db), kConnectionMessage);
    EXPECT_EQ(names(), (std::vector<std::string>{"kz_a", "kz_b"}));
    EXPECT_EQ(db.runCount("kz_a"), 1u);  // the list server is still asked

    RecordsDatabase damagedDb(dir / "RecData.dat");
    writeLocal(damaged(twoMaps(2)));
    EXPECT_EQ(refresh(damagedDb), L"CRC32 error in file: " + quoted());
    EXPECT_EQ(damagedDb.state, -1);

    RecordsDatabase noFile(dir / "RecData.dat");
    std::filesystem::remove(dir / "RecData.dat");
    EXPECT_EQ(refresh(noFile), kConnectionMessage);
    EXPECT_EQ(noFile.state, 1);
    EXPECT_TRUE(noFile.records.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "RecData.dat"));
}

TEST_F(RecordsRefresh, CutShortDownloadKeepsTheGoodLocalFile) {
    const Bytes newer = threeMaps(8).bytes();
    serve(newer);
    sources.recordsUrl =
        TestServer::instance().url("/_/cut/" + std::to_string(newer.size() - 3) + served.path(kServerFile));
    writeLocal(twoMaps(7).bytes());
    EXPECT_EQ(refresh(db), kConnectionMessage);
    EXPECT_EQ(local(), twoMaps(7).bytes());
    EXPECT_EQ(names(), (std::vector<std::string>{"kz_a", "kz_b"}));
    EXPECT_EQ(db.state, 1);
    EXPECT_FALSE(partFileLeft());
    EXPECT_TRUE(listFetched());
}

TEST_F(RecordsRefresh, DamagedServerCopyNeverReplacesTheLocalFile) {
    // A newer file whose checksum is wrong, and one that does not decode.
    RecDataBuilder wrong = threeMaps(8);
    wrong.wrongCrc();
    RecDataBuilder truncated = twoMaps(8);
    truncated.raw(Bytes{5, 'k', 'z'});  // a name running past the end
    for (const Bytes& bad : {wrong.bytes(), truncated.bytes()}) {
        RecordsDatabase fresh(dir / "RecData.dat");
        serve(bad);
        writeLocal(twoMaps(7).bytes());
        EXPECT_EQ(refresh(fresh), kConnectionMessage);
        EXPECT_EQ(local(), twoMaps(7).bytes());
        EXPECT_EQ(fresh.state, 1);
        EXPECT_EQ(fresh.records.size(), 2u);
        EXPECT_FALSE(partFileLeft());
    }
}

TEST_F(RecordsRefresh, ServerCopyFailingItsCheckEndsARestoreInTheChecksumError) {
    // The server answered, so the copy's own check is what went wrong.
    RecDataBuilder wrong = twoMaps(6);
    wrong.wrongCrc();
    RecDataBuilder truncated = twoMaps(6);
    truncated.raw(Bytes{5, 'k', 'z'});
    const std::optional<Bytes> damagedLocal = damaged(twoMaps(6));
    for (const Bytes& bad : {wrong.bytes(), truncated.bytes()}) {
        for (const std::optional<Bytes>& before : {damagedLocal, std::optional<Bytes>()}) {
            RecordsDatabase fresh(dir / "RecData.dat");
            serve(bad);
            std::filesystem::remove(dir / "RecData.dat");
            if (before) writeLocal(*before);
            const size_t fetchesBefore = recordsDownloads();
            EXPECT_EQ(refresh(fresh), L"CRC32 error in file: " + quoted()) << before.has_value();
            EXPECT_EQ(recordsDownloads(), fetchesBefore + 2);  // the header and the copy
            EXPECT_EQ(fresh.state, -1);
            EXPECT_EQ(localExists() ? local() : Bytes{}, before.value_or(Bytes{}));
            EXPECT_FALSE(partFileLeft());
            // After a checksum error the records list is not fetched.
            EXPECT_FALSE(listFetched());
            EXPECT_EQ(fresh.runCount("kz_a"), 0u);
        }
    }
}

TEST_F(RecordsRefresh, OversizedRecordsListIsMergedUpToItsLastWholeLine) {
    serve(twoMaps(1).bytes());
    writeLocal(twoMaps(1).bytes());
    std::string list = "records list\nkz_a early\n";
    const std::string filler = "zz_unknown " + std::string(200, 'f') + "\n";
    while (list.size() + filler.size() < kRunsListLimit - 6) list += filler;
    list += std::string(kRunsListLimit - 7 - list.size(), 'z') + "\n";  // ends 6 bytes before the cap
    list += "kz_b cut-by-the-limit\n";  // "kz_b c" is all that fits: a line, were it not dropped
    list += "kz_a late\n";
    ASSERT_GT(list.size(), kRunsListLimit);
    served.put("demos_tcl.txt", list);
    std::optional<std::vector<uint8_t>> got;
    EXPECT_EQ(refresh(db, &got), L"(none)");
    EXPECT_EQ(db.runCount("kz_a"), 1u);
    EXPECT_EQ(db.runAt("kz_a", 0), "early");
    EXPECT_EQ(db.runCount("kz_b"), 0u);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->size(), kRunsListLimit - 6);
}

TEST_F(RecordsRefresh, UnreachableListMergesNothingAndSaysNothing) {
    serve(twoMaps(1).bytes());
    writeLocal(twoMaps(1).bytes());
    sources.runsListUrl = TestServer::instance().deadUrl("/demos_tcl.txt");
    std::optional<std::vector<uint8_t>> got;
    EXPECT_EQ(refresh(db, &got), L"(none)");
    EXPECT_FALSE(got.has_value());
    EXPECT_EQ(db.state, 1);
    EXPECT_EQ(db.runCount("kz_a"), 0u);
}

}  // namespace
}  // namespace rw
