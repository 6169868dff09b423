// What runwarden-publish lays out is what the program accepts: a signed release
// and records file, served by the test server, are taken by the real update
// pass and records refresh only with their own signatures.
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
        EXPECT_EQ(end, tamper == none ? UpdatePassEnd::Restarted : UpdatePassEnd::Finished);
        EXPECT_EQ(std::wstring(result.messageText.view()),
                  tamper == none ? L"Updating Software ..." : signatureErrorText(db.fileName));  // records message last
        // The records refresh on its own: a forged copy never replaces the local file.
        RecordsDatabase again(work / "RecData.dat");
        EXPECT_EQ(refreshRecords(again, settings.records),
                  tamper == none ? updatedFileText(again, 60) : signatureErrorText(again.fileName));
        EXPECT_EQ(test::readAll(work / "RecData.dat"), sampleRecords(tamper == none ? 60 : 59));
        EXPECT_EQ(again.revision, tamper == none ? 60u : 59u);
    }
}

}  // namespace
}  // namespace rw::publish
