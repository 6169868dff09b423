// The attacks on the update chain, run against the test server over HTTP and
// over TLS by a build with a release key: for each, what stays on disk byte
// for byte and what the user is told.
#include <gtest/gtest.h>

#include <cstdlib>

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

Bytes records(uint32_t revision, const char* map = "kz_a") {
    return test::recData("revision " + std::to_string(revision) + "\nmap " + map + "\nmode 0\n");
}

TEST(UpdateAttacks, WhatStaysOnDiskAndWhatIsSaid) {
    test::TempDir keys, otherKeys;
    ASSERT_TRUE(publish::generateKeyPair(keys.path()) && publish::generateKeyPair(otherKeys.path()));
    EXPECT_EQ(fs::status(keys / publish::kPrivateKeyFile).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<uint8_t> publicKey = publicKeyDer(**publish::loadSigningKey(keys / publish::kPrivateKeyFile));
    const Bytes oldProgram = test::bytesOf("MZ old program, version 15"), newProgram = test::bytesOf("MZ version 16");
    const Bytes local = records(58), newer = records(60);
    Bytes damaged = records(58);
    damaged.back() ^= 0x5A;  // fails its checksum
    const std::string U = "Updating Software ...", F = "Update Failed!", C = "Unable to connect to update server!",
                      SD = "Signature error in file: \"UpdateData.dat\"",
                      SR = "Signature error in file: \"RecData.dat\"", UR = "Updated file: \"RecData.dat\" (60)";
    const struct {
        std::string_view attack;
        uint32_t release;  // the version on the server
        Bytes served;      // its RecData.dat
        bool prompted, installed;
        Bytes recordsBefore, recordsAfter;
        Strings told;  // each text painted, in order
    } rows[] = {
        {"none", 16, local, true, true, local, local, {U}},
        {"none", 15, newer, false, false, local, newer, {UR}},
        {"forged program", 16, local, true, false, local, local, {U, F}},
        {"forged descriptor", 16, local, false, false, local, local, {SD}},
        {"forged records", 15, newer, false, false, local, local, {SR}},
        {"missing signature", 16, local, true, false, local, local, {U, F}},
        {"another key", 16, newer, false, false, damaged, damaged, {SR}},
        {"program signed as records", 16, newer, true, false, local, newer, {U, F, UR}},
        {"records signed as program", 15, newer, false, false, local, local, {SR}},
        {"older release", 14, local, false, false, local, local, {""}},
        {"older records", 15, records(40), false, false, local, local, {""}},
        {"equal versions", 15, records(58, "kz_b"), false, false, local, local, {""}},
        {"404 page", 16, local, false, false, local, local, {C}},
        {"trickle", 16, local, true, false, local, local, {U, F}},
        {"HTTPS to http", 16, local, true, false, local, local, {U, F}},
        {"planted links", 15, newer, false, false, local, newer, {UR}},
        {"rewritten after the check", 16, local, true, false, local, local, {U, F}},
        {"no key", 16, newer, false, false, local, newer, {UR}},
    };
    for (const int tls : {0, 2}) {
        if (tls) ASSERT_EQ(setenv("CURL_CA_BUNDLE", (test::kServerState / "tls.pem").c_str(), 1), 0);
        for (const auto& r : rows) {
            const auto is = [&](std::string_view attack) { return r.attack == attack; };
            if (is("HTTPS to http") && !tls) continue;
            SCOPED_TRACE(std::string(r.attack) + (tls ? " over TLS" : " over HTTP"));
            test::ServedFolder served;
            test::TempDir dir, victims, in;
            const fs::path key = (is("another key") ? otherKeys : keys) / publish::kPrivateKeyFile;
            // The two signed-in-another-role rows serve one file in both roles.
            const bool sameBytes = is("program signed as records") || is("records signed as program");
            publish::ReleaseInput release{in.write("a.exe", sameBytes ? newer : newProgram), r.release,
                                          in.write("notes.txt", std::string("notes")), served.dir(), key};
            publish::RecordsInput recs{in.write("a.dat", r.served), std::nullopt, served.dir(), served.dir(), key};
            const Result<publish::ReleaseSummary> rs = publishRelease(release);
            const Result<publish::RecordsSummary> recsSummary = publishRecords(recs);
            ASSERT_TRUE(rs && recsSummary) << rs.text() << recsSummary.text();

            const fs::path x64 = served.dir() / "intern/Runwarden/x64", folder = served.dir() / "intern/Runwarden";
            const auto over = fs::copy_options::overwrite_existing;
            test::RecordingHost host;
            host.answerYes = true;
            host.ownPath = dir.write("Runwarden.exe", oldProgram);
            dir.write("RecData.dat", r.recordsBefore);
            std::string base = test::serverUrl(served.path("intern/Runwarden/"), tls);
            if (is("HTTPS to http")) base.replace(0, 5, "HTTPS");
            UpdateSettings settings{base, {base + "RecData.dat", test::deadUrl("/list"), publicKey}};
            if (is("forged program")) test::writeFile(x64 / "Runwarden.exe.sig", Bytes(64, 7));
            if (is("forged descriptor")) test::writeFile(x64 / "UpdateData.dat", encodeUpdateDescriptor({17, rs->programCrc}));
            if (is("forged records")) test::writeFile(folder / "RecData.dat", records(61));
            if (is("missing signature")) fs::remove(x64 / "Runwarden.exe.sig");
            if (is("program signed as records")) fs::copy_file(folder / "RecData.dat.sig", x64 / "Runwarden.exe.sig", over);
            if (is("records signed as program")) fs::copy_file(x64 / "Runwarden.exe.sig", folder / "RecData.dat.sig", over);
            if (is("404 page")) fs::remove(x64 / "UpdateData.dat");
            if (is("trickle")) test::writeFile(x64 / "Runwarden.exe.slow", {});
            if (is("trickle")) settings.programDeadline = std::chrono::milliseconds(100);
            if (is("HTTPS to http")) test::writeFile(x64 / "Runwarden.exe.insecure", {});
            for (const char* name : {"RecData.dat.tmp", "Runwarden.new"}) {
                if (is("planted links")) fs::create_symlink(victims.write(name, std::string("victim")), dir / name);
            }
            if (is("rewritten after the check")) {
                host.beforeMove = [&](const fs::path& from) {
                    if (from == *host.ownPath) test::writeFile(dir / "Runwarden.new", test::bytesOf("MZ evil"));
                };
            }
            if (is("no key")) settings.records.releaseKey.clear();

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
            EXPECT_EQ(test::folderFiles(dir.path()), expected);
            for (const auto& [name, bytes] : test::folderFiles(victims.path())) EXPECT_EQ(bytes, test::bytesOf("victim"));
        }
    }
    unsetenv("CURL_CA_BUNDLE");
}

}  // namespace
}  // namespace rw
