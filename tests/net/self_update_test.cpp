// The update pass against a real HTTP server, with a host that does the file
// operations for real in a temporary folder and records the prompts, the
// program start and the close.
#include <gtest/gtest.h>

#include <optional>

#include "recdata.h"
#include "recording_host.h"
#include "records/crc32.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class SelfUpdate : public ::testing::Test {
protected:
    SelfUpdate() {
        settings.updateFolderUrl = served.url("intern/Runwarden/");
        settings.records = {served.url("intern/Runwarden/RecData.dat"), served.url("demos_tcl.txt")};
        settings.programVersion = 15;
        settings.unsignedProgramUpdates = true;
        // Records equal on both sides: the refresh leaves no message of its own.
        served.put("intern/Runwarden/RecData.dat", test::recData("map kz_a\nmode 0\n"));
        dir.write("RecData.dat", test::recData("map kz_a\nmode 0\n"));
        served.put("demos_tcl.txt", "list\nkz_a 00:10.00 someone\n");
        served.put("intern/Runwarden/changelog.txt", "Version 16:\r\n- faster");
        host.ownPath = dir.write("Runwarden.exe", oldProgram);
        host.answerYes = true;
    }

    void publish(uint32_t version, uint32_t crcFlip = 0) {
        const uint32_t crc = crc32(newProgram) ^ crcFlip;  // the descriptor: version and CRC-32, little-endian
        served.put("intern/Runwarden/x64/UpdateData.dat",
                   Bytes{uint8_t(version), 0, 0, 0, uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)});
        served.put("intern/Runwarden/x64/Runwarden.exe", newProgram);
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

TEST_F(SelfUpdate, AShortDescriptorSkipsThePromptButRefreshesRecords) {
    served.put("intern/Runwarden/x64/UpdateData.dat", Bytes{16, 0, 0, 0, 1, 2, 3});  // 7 of the 8 bytes
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(repaints, Strings{"-1 Unable to connect to update server!"});
    EXPECT_TRUE(requested("/demos_tcl.txt"));
    EXPECT_EQ(host.events, Strings{"module path"});
}

TEST_F(SelfUpdate, AcceptedUpdateReplacesTheProgramAndRestarts) {
    publish(16);
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(host.events, (Strings{"module path", "prompt", "move Runwarden.exe > Updating.tmp",
                                    "start Runwarden.exe \"-delete Updating.tmp\"", "close"}));
    EXPECT_EQ(repaints, Strings{"102 Updating Software ..."});
    // The records refresh does not run when the new program was started.
    EXPECT_FALSE(requested("/demos_tcl.txt"));
    EXPECT_EQ(test::readAll(dir / "Runwarden.exe"), newProgram);
    EXPECT_EQ(test::readAll(dir / "Updating.tmp"), oldProgram);
}

TEST_F(SelfUpdate, FailedUpdateRestoresTheFolderExactly) {
    enum Fault { badChecksum, badChecksumOtherName, doesNotStart, unopenedUrl, uncreatableFile };
    for (Fault fault : {badChecksum, badChecksumOtherName, doesNotStart, unopenedUrl, uncreatableFile}) {
        SCOPED_TRACE(fault);
        publish(16, fault <= badChecksumOtherName ? 1 : 0);
        if (fault == badChecksumOtherName) {
            host.ownPath = dir / "rw-old.exe";
            fs::rename(dir / "Runwarden.exe", *host.ownPath);
        }
        host.startSucceeds = fault != doesNotStart;
        if (fault == unopenedUrl) served.put("intern/Runwarden/x64/Runwarden.exe.unreachable", "");
        if (fault == uncreatableFile) test::writeFile(dir / "Runwarden.new" / "x", {});  // in the way of the new program
        const auto before = test::folderFiles(dir.path());
        host.events.clear();
        EXPECT_EQ(run(), UpdatePassEnd::Finished);
        EXPECT_EQ(test::folderFiles(dir.path()), before);
        EXPECT_EQ(text(), "Update Failed!");
        EXPECT_EQ(result->status(), -1);
        if (fault == doesNotStart) {
            EXPECT_EQ(repaints, (Strings{"102 Updating Software ...", "102 Update Failed!", "-1 Update Failed!"}));
        }
    }
}

// After an update the first argument starting with the switch names the old
// program, and counts only when it fits its 260-character buffer and names an
// update's leftover in the program's own folder; the change log is shown and
// the version checked again.
TEST_F(SelfUpdate, AfterAnUpdate) {
    const std::wstring own = dir.path().wstring() + L"/";
    for (const char* name : {"Updating.tmp", "Updating-7.tmp", "victim.txt"}) dir.write(name, std::string("x"));
    publish(15);
    const std::vector<std::wstring> refused = {L"-delete ../victim.txt", L"-delete " + own + L"victim.txt",
                                               L"-delete /tmp/Updating.tmp", L"-delete Updating-x.tmp"};
    for (const std::wstring& arg : refused) {
        host.args = {L"x", arg};
        run();
        EXPECT_EQ(text(), "");
        EXPECT_TRUE(fs::exists(dir / "victim.txt") && fs::exists(dir / "Updating.tmp"));
    }
    EXPECT_FALSE(fs::exists(dir / "Updating-7.tmp"));  // a leftover, removed at start
    host.events.clear();
    host.args = {L"x", L"-delete " + own + L"Updating.tmp", L"-delete victim.txt"};
    run();
    EXPECT_EQ(text(), "Updated Successfully");
    EXPECT_FALSE(fs::exists(dir / "Updating.tmp"));
    EXPECT_EQ(host.events, (Strings{"module path", "change log"}));  // no prompt for version 15
    EXPECT_EQ(host.changeLogs, Strings{"Version 16:\r\n- faster"});
    EXPECT_TRUE(requested("RWUpdate /intern/Runwarden/x64/UpdateData.dat"));
}

}  // namespace
}  // namespace rw
