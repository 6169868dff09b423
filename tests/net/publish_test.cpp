// What runwarden-publish lays out is what the program accepts: folders it
// writes are served by the test server and consumed by the real records
// refresh and update pass.
#include <gtest/gtest.h>

#include "recdata.h"
#include "recording_host.h"
#include "records/records_file.h"
#include "records/self_update.h"
#include "release_signing.h"
#include "server_layout.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw::publish {
namespace {

using test::Bytes;
using test::TempDir;

Bytes sampleRecords(uint32_t revision) {
    return test::recData("revision " + std::to_string(revision) +
                         "\nmap kz_cave\nmode 0\nstart pattern 01\nmap kz_bhop\nmode 3\nstart position 10 -20 30\n");
}

TEST(Publish, RecordsAndListAreRestoredAndMerged) {
    test::ServedFolder served;
    TempDir in, work;
    RecordsInput records{in.write("RecData.dat", sampleRecords(57)),
                         in.write("demos_tcl.txt", std::string("list v1\nkz_cave 01:00.00 someone\n"
                                                               "KZ_CAVE[route2] 02:00.00 other\nkz_gone 03:00 x\n"
                                                               "norun\n" + std::string(300, 'k') + " x\n")),
                         served.dir(), served.dir() / "list"};
    RecordsSummary summary;
    PublishError error;
    ASSERT_TRUE(publishRecords(records, summary, error)) << error.where << ": " << error.message;
    EXPECT_EQ(summary.revision, 57u);
    EXPECT_EQ(summary.maps, 2u);
    EXPECT_EQ(summary.runLines, 3u);
    EXPECT_EQ(summary.unknownMapLines, 1u);
    ASSERT_EQ(summary.warnings.size(), 2u);
    EXPECT_NE(summary.warnings[0].find("line 5 holds no map name"), std::string::npos) << summary.warnings[0];
    EXPECT_NE(summary.warnings[1].find("line 6 is longer than 259"), std::string::npos) << summary.warnings[1];

    RecordsDatabase db(work / "RecData.dat");
    EXPECT_EQ(refreshRecords(db, {served.url(kRecordsPath), served.url("list/demos_tcl.txt")}), restoredFileText(db));
    EXPECT_EQ(db.revision, 57u);
    EXPECT_EQ(db.runAt("kz_cave", 1), "[route2] 02:00.00 other");
}

// keygen, then release and records signed with the key; a client holding the
// public half installs and loads only what that key signed.
TEST(Publish, SignedReleaseAndRecordsAreTakenOnlyWithTheirOwnSignatures) {
    TempDir keys;
    ASSERT_TRUE(generateKeyPair(keys.path()));
    EXPECT_FALSE(generateKeyPair(keys.path())) << "an existing key is never replaced";
    EXPECT_EQ(std::filesystem::status(keys / kPrivateKeyFile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(generateKeyPair(keys / "other"));
    Result<SigningKeyPtr> key = loadSigningKey(keys / kPrivateKeyFile);
    Result<SigningKeyPtr> otherKey = loadSigningKey(keys / "other" / kPrivateKeyFile);
    ASSERT_TRUE(key && otherKey);

    const Bytes program = test::bytesOf("MZ signed program, version 16");
    enum Tamper { none, missing, wrongLength, otherKeys, otherFiles };
    for (const Tamper tamper : {none, missing, wrongLength, otherKeys, otherFiles}) {
        SCOPED_TRACE(tamper);
        test::ServedFolder served;
        TempDir in, work;
        ReleaseInput release{in.write("Runwarden.exe", program), 16, in.write("notes.txt", std::string("16")),
                             served.dir(), keys / kPrivateKeyFile};
        RecordsInput records{in.write("RecData.dat", sampleRecords(60)), std::nullopt, served.dir(), served.dir(),
                             keys / kPrivateKeyFile};
        ReleaseSummary rs;
        RecordsSummary recs;
        PublishError error;
        ASSERT_TRUE(publishRelease(release, rs, error) && publishRecords(records, recs, error)) << error.message;
        for (const char* file : {kProgramPath, kRecordsPath}) {
            const std::string sig = std::string(file) + ".sig";
            if (tamper == missing) std::filesystem::remove(served.dir() / sig);
            if (tamper == wrongLength) served.put(sig, Bytes(63, 1));
            if (tamper == otherKeys) served.put(sig, *signFile(**otherKey, test::readAll(served.dir() / file)));
            if (tamper == otherFiles) served.put(sig, *signFile(**key, test::bytesOf("MZ another program")));
        }

        test::RecordingHost host;
        host.answerYes = true;
        host.ownPath = work.write("Runwarden.exe", std::string("MZ old"));
        work.write("RecData.dat", sampleRecords(59));
        UpdateSettings settings{served.url("intern/Runwarden/"),
                                {served.url(kRecordsPath), test::deadUrl("/list"), publicKeyDer(**key)}};
        CheckResult result;
        RecordsDatabase db(work / "RecData.dat");
        const UpdatePassEnd end = runUpdatePass(result, db, host, settings);
        EXPECT_EQ(test::readAll(work / "Runwarden.exe"), tamper == none ? program : test::bytesOf("MZ old"));
        if (tamper == none) {
            EXPECT_EQ(end, UpdatePassEnd::Restarted);
            continue;
        }
        EXPECT_FALSE(std::filesystem::exists(work / "Updating.tmp"));
        EXPECT_EQ(std::wstring(result.messageText.view()), signatureErrorText(db.fileName)) << "records message last";
        // The forged records copy never replaces the local file.
        EXPECT_EQ(test::readAll(work / "RecData.dat"), sampleRecords(59));
        EXPECT_EQ(db.state, 1);
        EXPECT_EQ(db.revision, 59u);
    }
}

}  // namespace
}  // namespace rw::publish
