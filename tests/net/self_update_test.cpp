// The update pass against a real HTTP server, with a host that does the file
// operations for real in a temporary folder and records the prompts, the
// program start and the close.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "recdata.h"
#include "recording_host.h"
#include "records/crc32.h"
#include "records/self_update.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// Every file of a folder with its bytes.
std::map<std::string, Bytes> snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = e.is_directory() ? Bytes{'/'} : test::readAll(e.path());
    return files;
}

class SelfUpdate : public ::testing::Test {
protected:
    SelfUpdate() {
        settings.updateFolderUrl = served.url("intern/Runwarden/");
        settings.records = {served.url("intern/Runwarden/RecData.dat"), served.url("demos_tcl.txt")};
        settings.programVersion = 15;
        // Records equal on both sides: the refresh leaves no message of its own.
        served.put("intern/Runwarden/RecData.dat", test::recData("map kz_a\nmode 0\n"));
        dir.write("RecData.dat", test::recData("map kz_a\nmode 0\n"));
        served.put("demos_tcl.txt", "list\nkz_a 00:10.00 someone\n");
        served.put("intern/Runwarden/changelog.txt", "Version 16:\r\n- faster");
        host.ownPath = dir.write("Runwarden.exe", oldProgram);
        host.answerYes = true;
    }

    void publish(uint32_t version, uint32_t crcFlip = 0) {
        const auto d = encodeUpdateDescriptor(UpdateDescriptor{version, crc32(newProgram) ^ crcFlip});
        served.put("intern/Runwarden/x64/UpdateData.dat", std::span<const uint8_t>(d));
        served.put("intern/Runwarden/x64/Runwarden.exe", newProgram);
    }
    void renameOwnProgram() {
        fs::remove(dir / "Runwarden.exe");
        host.ownPath = dir.write("rw-old.exe", oldProgram);
    }
    // The pass on a fresh result and database; each repaint as "code text".
    UpdatePassEnd run() {
        result.emplace();
        repaints.clear();
        result->repaint = {[](void* self) {
                               auto* t = static_cast<SelfUpdate*>(self);
                               t->repaints.push_back(std::to_string(t->result->status()) + " " + t->text());
                           }, this};
        RecordsDatabase db(dir / "RecData.dat");
        return runUpdatePass(*result, db, host, settings);
    }
    std::string text() const { return platform::wideToUtf8(result->messageText.view()); }
    bool requested(std::string_view path) const {
        const auto log = served.requests();
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.ends_with(path); });
    }

    const Bytes oldProgram = test::bytesOf("MZ old program, version 15");
    const Bytes newProgram = test::bytesOf("MZ new program, version 16, somewhat longer");
    test::ServedFolder served;
    test::TempDir dir;
    test::RecordingHost host;
    std::optional<CheckResult> result;  // atomics: made afresh for each pass
    UpdateSettings settings;
    Strings repaints;
};

TEST_F(SelfUpdate, UnreachableServerOrShortDescriptorSkipsThePromptButRefreshesRecords) {
    settings.updateFolderUrl = test::deadUrl("/intern/Runwarden/");
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(repaints, Strings{"-1 Unable to connect to update server!"});
    EXPECT_TRUE(requested("/demos_tcl.txt"));
    settings.updateFolderUrl = served.url("intern/Runwarden/");
    served.put("intern/Runwarden/x64/UpdateData.dat", Bytes{16, 0, 0, 0, 1, 2, 3});  // 7 of the 8 bytes
    run();
    EXPECT_EQ(text(), "Unable to connect to update server!");
    EXPECT_EQ(result->status(), -1);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(SelfUpdate, AcceptedUpdateReplacesTheProgramAndRestarts) {
    publish(16);
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(host.events, (Strings{"prompt", "module path", "move Runwarden.exe > Updating.tmp",
                                    "move Runwarden.new > Runwarden.exe", "start Runwarden.exe \"-delete Updating.tmp\"",
                                    "close"}));
    EXPECT_EQ(repaints, Strings{"102 Updating Software ..."});
    // The records refresh does not run when the new program was started.
    EXPECT_FALSE(requested("/intern/Runwarden/RecData.dat"));
    EXPECT_FALSE(requested("/demos_tcl.txt"));
    // Also a program under another name is moved aside, and a leftover
    // Updating.tmp that cannot be deleted is moved out of the way.
    renameOwnProgram();
    dir.write("Updating.tmp", Bytes{'x'});
    host.locked = dir / "Updating.tmp";
    host.lockedTries = -1;
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(snapshot(dir.path()), (std::map<std::string, Bytes>{{"RecData.dat", test::readAll(dir / "RecData.dat")},
                                                                  {"Runwarden.exe", newProgram},
                                                                  {"Updating.tmp", oldProgram},
                                                                  {"Updating-1.tmp", Bytes{'x'}}}));
}

TEST_F(SelfUpdate, FailedUpdateRestoresTheFolderExactly) {
    enum Fault { badChecksum, badChecksumOtherName, doesNotStart, unopenedUrl, uncreatableFile };
    for (Fault fault : {badChecksum, badChecksumOtherName, doesNotStart, unopenedUrl, uncreatableFile}) {
        SCOPED_TRACE(fault);
        publish(16, fault <= badChecksumOtherName ? 1 : 0);
        if (fault == badChecksumOtherName) renameOwnProgram();
        host.startSucceeds = fault != doesNotStart;
        if (fault == unopenedUrl) served.put("intern/Runwarden/x64/Runwarden.exe.unreachable", "");
        if (fault == uncreatableFile) fs::create_directory(dir / "Runwarden.exe");  // in the way of the new program
        const auto before = snapshot(dir.path());
        host.events.clear();
        EXPECT_EQ(run(), UpdatePassEnd::Finished);
        EXPECT_EQ(snapshot(dir.path()), before);
        EXPECT_EQ(text(), "Update Failed!");
        EXPECT_EQ(result->status(), -1);
        if (fault == unopenedUrl) {
            EXPECT_EQ(host.events, (Strings{"prompt", "module path"}));  // no file touched
        }
        if (fault == doesNotStart) {
            EXPECT_EQ(repaints, (Strings{"102 Updating Software ...", "102 Update Failed!", "-1 Update Failed!"}));
        }
    }
}

TEST_F(SelfUpdate, AfterAnUpdateTheChangeLogIsShownAndTheVersionCheckedAgain) {
    host.answerYes = false;
    dir.write("Updating.tmp", oldProgram);
    host.args = {L"C:\\Games\\Runwarden.exe", std::wstring(kDeleteSwitch) + (dir / "Updating.tmp").wstring()};
    publish(15);
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_FALSE(fs::exists(dir / "Updating.tmp"));
    EXPECT_EQ(host.events, Strings{"change log"});  // version 15: no second prompt
    EXPECT_EQ(host.changeLogs, Strings{"Version 16:\r\n- faster"});
    EXPECT_EQ(repaints, (Strings{"102 Updated Successfully", "-1 Updated Successfully"}));
    publish(14);  // an older version is offered too; declining it leaves the same text
    host.events.clear();
    run();
    EXPECT_EQ(host.events, (Strings{"change log", "prompt"}));
    EXPECT_EQ(text(), "Updated Successfully");
    EXPECT_EQ(result->status(), -1);
    EXPECT_TRUE(requested("RWUpdate /intern/Runwarden/x64/UpdateData.dat"));
    EXPECT_FALSE(requested("/x64/Runwarden.exe"));

    // A newer records file: its message replaces the update's, with the final code.
    served.put("intern/Runwarden/RecData.dat", test::recData("revision 57\nmap kz_b\nmode 0\n"));
    run();
    EXPECT_EQ(text(), "Updated file: \"" + (dir / "RecData.dat").string() + "\" (57)");
    EXPECT_EQ(repaints, (Strings{"102 Updated Successfully", "-1 " + text()}));
}

TEST_F(SelfUpdate, UnreachableChangeLogShowsAnEmptyBoxAndSkipsTheDescriptor) {
    host.args = {L"-delete " + (dir / "Updating.tmp").wstring()};  // argument 0 counts too
    publish(16);
    served.put("intern/Runwarden/changelog.txt.unreachable", "");
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(host.changeLogs, Strings{""});
    EXPECT_FALSE(requested("/x64/UpdateData.dat"));
    EXPECT_EQ(text(), "Unable to connect to update server!");
}

// Only the first argument starting with the exact switch counts, and only when
// it fits its 260-character buffer; a held file is retried for ten seconds.
TEST_F(SelfUpdate, TheDeleteSwitch) {
    const std::wstring prefix = L"-delete " + dir.path().wstring() + L"/";
    const std::wstring fits = prefix + std::wstring(259 - prefix.size(), L'f');
    const std::wstring tooLong = prefix + std::wstring(260 - prefix.size(), L'g');
    const std::wstring a = L"-delete " + (dir / "a.tmp").wstring(), b = L"-delete " + (dir / "b.tmp").wstring();
    const std::vector<fs::path> files = {dir / "a.tmp", dir / "b.tmp", fits.substr(8), tooLong.substr(8)};
    const struct {
        std::vector<std::wstring> args;
        int lockedTries;  // of b.tmp
        fs::path deleted;
        uint64_t clockMs;
    } rows[] = {
        {{L"x", L"-delete", L"-DELETE " + a.substr(8), L"x" + a, b, a}, 0, files[1], 0},
        {{L"x", tooLong, fits}, 0, {}, 0},
        {{L"x", fits}, 0, files[2], 0},
        {{L"x", L"-delete b.tmp"}, 3, files[1], 3},  // relative: in the program's folder
        {{L"x", b}, -1, {}, 10000},
    };
    publish(15);
    host.locked = files[1];
    for (const auto& r : rows) {
        for (const auto& file : files) std::ofstream(file) << "x";
        host.args = r.args;
        host.lockedTries = r.lockedTries;
        host.clockMs = 0;
        run();
        for (const auto& file : files) EXPECT_EQ(fs::exists(file), file != r.deleted) << file;
        EXPECT_EQ(host.clockMs, r.clockMs);
        EXPECT_EQ(text(), r.deleted.empty() && r.clockMs == 0 ? "" : "Updated Successfully");
    }
}

TEST(UpdateDescriptor, FirstEightBytesCount) {
    EXPECT_FALSE(parseUpdateDescriptor(Bytes{1, 2, 3, 4, 5, 6, 7}));
    const auto d = parseUpdateDescriptor(Bytes{16, 0, 0, 0, 0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(d ? std::pair(d->version, d->programCrc) : std::pair(0u, 0u), std::pair(16u, 0x12345678u));
}

}  // namespace
}  // namespace rw
