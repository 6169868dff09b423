// What runwarden-publish lays out is what the program accepts: folders it
// writes are served by the test server and consumed by the real records
// refresh and update pass; inputs the program would refuse are refused here.
#include <gtest/gtest.h>

#include "recdata_builder.h"
#include "recording_host.h"
#include "records/crc32.h"
#include "records/records_file.h"
#include "records/self_update.h"
#include "server_layout.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw::publish {
namespace {

using test::Bytes;
using test::RecDataBuilder;
using test::ServedFolder;
using test::TempDir;

RecDataBuilder sampleRecords(uint32_t revision) {
    RecDataBuilder b;
    b.revision(revision);
    b.map("kz_cave").start(test::bytesOf("go")).stop(test::bytesOf("stop"));
    b.map("kz_bhop", 3).startAt(10, -20, 30).stop(test::bytesOf("end"));
    return b;
}

std::vector<std::string> filesUnder(const std::filesystem::path& root) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files.push_back(std::filesystem::relative(e.path(), root).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Publish, ReleaseIsOfferedVerifiedAndInstalled) {
    ServedFolder served;
    TempDir in;
    const Bytes program = test::bytesOf("MZ published program, version 16");
    ReleaseInput release;
    release.program = in.write("Runwarden.exe", program);
    release.version = 16;
    release.changeLog = in.write("notes.txt", std::string("Runwarden 16\r\n- faster checks"));
    release.out = served.dir();
    ReleaseSummary summary;
    PublishError error;
    ASSERT_TRUE(publishRelease(release, summary, error)) << error.where << ": " << error.message;
    EXPECT_EQ(summary.programCrc, crc32(program));
    EXPECT_TRUE(summary.warnings.empty());
    EXPECT_EQ(filesUnder(served.dir()),
              (std::vector<std::string>{"intern/Runwarden/changelog.txt", "intern/Runwarden/x64/Runwarden.exe",
                                        "intern/Runwarden/x64/UpdateData.dat"}));

    TempDir work;
    test::RecordingHost host;
    host.answerYes = true;
    host.ownPath = work.write("Runwarden.exe", std::string("MZ old"));
    UpdateSettings settings;
    settings.updateFolderUrl = served.url("intern/Runwarden/");
    CheckResult result;
    RecordsDatabase db(work / "RecData.dat");
    EXPECT_EQ(runUpdatePass(result, db, host, settings), UpdatePassEnd::Restarted);
    EXPECT_EQ(test::readAll(work / "Runwarden.exe"), program);

    // The new instance shows the published change log and, being version 16
    // now, is not offered the same release again.
    host.args = {L"Runwarden.exe", L"-delete " + (work / "Updating.tmp").wstring()};
    host.events.clear();
    settings.programVersion = 16;
    settings.records.recordsUrl = test::TestServer::instance().deadUrl("/RecData.dat");
    CheckResult second;
    RecordsDatabase db2(work / "RecData.dat");
    EXPECT_EQ(runUpdatePass(second, db2, host, settings), UpdatePassEnd::Finished);
    EXPECT_EQ(host.changeLogs, (std::vector<std::string>{"Runwarden 16\r\n- faster checks"}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"change log"}));
    EXPECT_FALSE(std::filesystem::exists(work / "Updating.tmp"));
}

TEST(Publish, RecordsAndListAreRestoredAndMerged) {
    ServedFolder updateServer;
    TempDir in;
    RecordsInput records;
    records.recData = sampleRecords(57).writeTo(in / "RecData.dat");
    records.runsList = in.write("demos_tcl.txt", std::string("list v1\nkz_cave 01:00.00 someone\n"
                                                             "KZ_CAVE[route2] 02:00.00 other\nkz_gone 03:00 x\n"));
    records.out = updateServer.dir();
    records.listOut = updateServer.dir() / "list";
    RecordsSummary summary;
    PublishError error;
    ASSERT_TRUE(publishRecords(records, summary, error)) << error.where << ": " << error.message;
    EXPECT_EQ(summary.revision, 57u);
    EXPECT_EQ(summary.maps, 2u);
    EXPECT_EQ(summary.runLines, 3u);
    EXPECT_EQ(summary.unknownMapLines, 1u);
    EXPECT_EQ(filesUnder(updateServer.dir()),
              (std::vector<std::string>{"intern/Runwarden/RecData.dat", "list/demos_tcl.txt"}));

    TempDir work;
    RecordsDatabase db(work / "RecData.dat");
    RecordsSources sources{updateServer.url("intern/Runwarden/RecData.dat"), updateServer.url("list/demos_tcl.txt")};
    EXPECT_EQ(refreshRecords(db, sources), restoredFileText(db));
    EXPECT_EQ(db.revision, 57u);
    EXPECT_EQ(db.runCount("kz_cave"), 2u);
    EXPECT_EQ(db.runAt("kz_cave", 1), "[route2] 02:00.00 other");
}

TEST(Publish, RecordsFilesTheProgramWouldRefuseAreRefused) {
    RecDataBuilder wrong = sampleRecords(3);
    wrong.wrongCrc();

    // Nothing is written when the input is refused.
    TempDir in, out;
    RecordsInput records;
    records.recData = wrong.writeTo(in / "RecData.dat");
    records.runsList = in.write("demos_tcl.txt", std::string("list\nkz_cave 1\n"));
    records.out = out.path();
    records.listOut = out.path();
    RecordsSummary summary;
    PublishError error;
    EXPECT_FALSE(publishRecords(records, summary, error));
    EXPECT_EQ(error.where, (in / "RecData.dat").string());
    EXPECT_EQ(error.message.rfind("checksum mismatch", 0), 0u);
    EXPECT_TRUE(filesUnder(out.path()).empty());
}

TEST(Publish, ListAndChangeLogProblemsAreReported) {
    TempDir in, out;
    RecordsInput records;
    records.runsList = in.write("demos_tcl.txt", "list\nkz_a 1\nnorun\n\n" + std::string(300, 'k') + " x\n");
    records.listOut = out.path();
    RecordsSummary summary;
    PublishError error;
    ASSERT_TRUE(publishRecords(records, summary, error));
    EXPECT_EQ(summary.runLines, 1u);
    ASSERT_EQ(summary.warnings.size(), 2u);
    EXPECT_NE(summary.warnings[0].find("line 3 holds no map name"), std::string::npos);
    EXPECT_NE(summary.warnings[1].find("line 5 is longer than 259"), std::string::npos);

    ReleaseInput release;
    release.program = in.write("p.exe", std::string("MZ"));
    release.changeLog = in.write("notes.txt", std::string("before\0after", 12));
    release.out = out.path();
    ReleaseSummary rs;
    ASSERT_TRUE(publishRelease(release, rs, error));
    ASSERT_EQ(rs.warnings.size(), 1u);
    EXPECT_NE(rs.warnings[0].find("zero byte at offset 6"), std::string::npos);

    release.program = in.write("empty.exe", std::string());
    EXPECT_FALSE(publishRelease(release, rs, error));
    EXPECT_EQ(error.message, "the program file is empty");
    release.program = in / "p.exe";
    release.changeLog = in / "missing.txt";
    EXPECT_FALSE(publishRelease(release, rs, error));
    EXPECT_EQ(error.message, "cannot read the change log");
}

}  // namespace
}  // namespace rw::publish
