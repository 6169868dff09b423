// The attacks on the update chain, run against the test server over HTTP and
// over TLS by a build with a release key: for each, what stays on disk byte
// for byte and what the user is told.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "recdata.h"
#include "recording_host.h"
#include "release_signing.h"
#include "server_layout.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

enum Attack {
    none, forgedProgram, forgedDescriptor, forgedRecords, missingSignature, anotherKey, programSignedAsRecords,
    recordsSignedAsProgram, olderRelease, olderRecords, equalVersions, errorPage, trickle, upperCaseToHttp,
    plantedLinks, rewrittenAfterCheck, noKey
};

Bytes records(uint32_t revision, const char* map = "kz_a") {
    return test::recData("revision " + std::to_string(revision) + "\nmap " + map + "\nmode 0\n");
}

std::map<std::string, Bytes> snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename().string()] = test::readAll(e.path());
    return files;
}

TEST(UpdateAttacks, WhatStaysOnDiskAndWhatIsSaid) {
    test::TempDir keys, otherKeys;
    ASSERT_TRUE(publish::generateKeyPair(keys.path()) && publish::generateKeyPair(otherKeys.path()));
    const Bytes oldProgram = test::bytesOf("MZ old program, version 15"), newProgram = test::bytesOf("MZ version 16");
    const Bytes local = records(58), newer = records(60);
    const std::string U = "Updating Software ...", F = "Update Failed!", C = "Unable to connect to update server!",
                      SD = "Signature error in file: \"UpdateData.dat\"",
                      SR = "Signature error in file: \"RecData.dat\"", UR = "Updated file: \"RecData.dat\" (60)";
    const struct {
        Attack attack;
        uint32_t release;  // the version on the server
        Bytes served;      // its RecData.dat
        bool prompted, installed;
        Bytes recordsAfter;
        Strings told;  // each text painted, in order
    } rows[] = {
        {none, 16, local, true, true, local, {U}},
        {none, 15, newer, false, false, newer, {UR}},
        {forgedProgram, 16, local, true, false, local, {U, F}},
        {forgedDescriptor, 16, local, false, false, local, {SD}},
        {forgedRecords, 15, newer, false, false, local, {SR}},
        {missingSignature, 16, local, true, false, local, {U, F}},
        {anotherKey, 16, newer, false, false, local, {SR}},
        {programSignedAsRecords, 16, newer, true, false, newer, {U, F, UR}},
        {recordsSignedAsProgram, 15, newer, false, false, local, {SR}},
        {olderRelease, 14, local, false, false, local, {""}},
        {olderRecords, 15, records(40), false, false, local, {""}},
        {equalVersions, 15, records(58, "kz_b"), false, false, local, {""}},
        {errorPage, 16, local, false, false, local, {C}},
        {trickle, 16, local, true, false, local, {U, F}},
        {upperCaseToHttp, 16, local, true, false, local, {U, F}},
        {plantedLinks, 15, newer, false, false, newer, {UR}},
        {rewrittenAfterCheck, 16, local, true, false, local, {U, F}},
        {noKey, 16, newer, false, false, newer, {UR}},
    };
    for (const int tls : {0, 2}) {
        if (tls) ASSERT_EQ(setenv("CURL_CA_BUNDLE", (test::kServerState / "tls.pem").c_str(), 1), 0);
        for (const auto& r : rows) {
            if (r.attack == upperCaseToHttp && !tls) continue;
            SCOPED_TRACE(std::to_string(r.attack) + (tls ? " over TLS" : " over HTTP"));
            test::ServedFolder served;
            test::TempDir dir, victims;
            const fs::path key = (r.attack == anotherKey ? otherKeys : keys) / publish::kPrivateKeyFile;
            // The two signed-as-another-role rows serve one file in both roles.
            const bool sameBytes = r.attack == programSignedAsRecords || r.attack == recordsSignedAsProgram;
            publish::ReleaseInput release{dir.write("staged.exe", sameBytes ? newer : newProgram), r.release,
                                          dir.write("notes.txt", std::string("notes")), served.dir(), key};
            publish::RecordsInput recs{dir.write("staged.dat", r.served), std::nullopt, served.dir(), served.dir(), key};
            publish::ReleaseSummary rs;
            publish::RecordsSummary recsSummary;
            publish::PublishError error;
            ASSERT_TRUE(publishRelease(release, rs, error) && publishRecords(recs, recsSummary, error)) << error.message;
            fs::remove(dir / "staged.exe");
            fs::remove(dir / "staged.dat");
            fs::remove(dir / "notes.txt");

            const fs::path x64 = served.dir() / "intern/Runwarden/x64", folder = served.dir() / "intern/Runwarden";
            test::RecordingHost host;
            host.answerYes = true;
            host.ownPath = dir.write("Runwarden.exe", oldProgram);
            dir.write("RecData.dat", local);
            std::string base = test::serverUrl(served.path("intern/Runwarden/"), tls);
            if (r.attack == upperCaseToHttp) base.replace(0, 5, "HTTPS");
            Result<publish::SigningKeyPtr> signer = publish::loadSigningKey(keys / publish::kPrivateKeyFile);
            UpdateSettings settings{base, {base + "RecData.dat", test::deadUrl("/list"), publicKeyDer(**signer)}};
            switch (r.attack) {
                case forgedProgram: served.put("intern/Runwarden/x64/Runwarden.exe.sig", Bytes(64, 7)); break;
                case forgedDescriptor:
                    served.put("intern/Runwarden/x64/UpdateData.dat", encodeUpdateDescriptor({17, rs.programCrc}));
                    break;
                case forgedRecords: served.put("intern/Runwarden/RecData.dat", records(61)); break;
                case missingSignature: fs::remove(x64 / "Runwarden.exe.sig"); break;
                case programSignedAsRecords:
                    fs::copy_file(folder / "RecData.dat.sig", x64 / "Runwarden.exe.sig", fs::copy_options::overwrite_existing);
                    break;
                case recordsSignedAsProgram:
                    fs::copy_file(x64 / "Runwarden.exe.sig", folder / "RecData.dat.sig", fs::copy_options::overwrite_existing);
                    break;
                case errorPage: fs::remove(x64 / "UpdateData.dat"); break;
                case trickle:
                    served.put("intern/Runwarden/x64/Runwarden.exe.slow", "");
                    settings.programDeadline = std::chrono::milliseconds(100);
                    break;
                case upperCaseToHttp: served.put("intern/Runwarden/x64/Runwarden.exe.insecure", ""); break;
                case plantedLinks:
                    for (const char* name : {"RecData.dat.tmp", "Runwarden.new"})
                        fs::create_symlink(victims.write(name, std::string("victim")), dir / name);
                    break;
                case rewrittenAfterCheck:
                    host.beforeMove = [&](const fs::path& from) {
                        if (from == *host.ownPath) test::writeFile(dir / "Runwarden.new", test::bytesOf("MZ evil"));
                    };
                    break;
                case noKey: settings.records.releaseKey.clear(); break;
                default: break;
            }
            CheckResult result;
            Strings told;
            std::function<void()> shown = [&] {
                const std::string text = platform::wideToUtf8(result.messageText.view());
                if (told.empty() || told.back() != text) told.push_back(text);
            };
            result.repaint = {[](void* f) { (*static_cast<std::function<void()>*>(f))(); }, &shown};
            RecordsDatabase db(dir / "RecData.dat");
            runUpdatePass(result, db, host, settings);

            EXPECT_EQ(told, r.told);
            EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "prompt"), r.prompted);
            std::map<std::string, Bytes> expected{{"Runwarden.exe", r.installed ? newProgram : oldProgram},
                                                  {"RecData.dat", r.recordsAfter}};
            if (r.installed) expected["Updating.tmp"] = oldProgram;
            EXPECT_EQ(snapshot(dir.path()), expected);
            for (const auto& [name, bytes] : snapshot(victims.path())) EXPECT_EQ(bytes, test::bytesOf("victim")) << name;
        }
    }
    unsetenv("CURL_CA_BUNDLE");
}

}  // namespace
}  // namespace rw
