// The update pass against a real HTTP server, with a host that does the file
// operations for real in a temporary folder and records the prompts, the
// program start and the close.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/byte_cursor.h"
#include "platform/text.h"
#include "recdata_builder.h"
#include "recording_host.h"
#include "records/crc32.h"
#include "records/self_update.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using test::RecordingHost;
using test::ServedFolder;
using test::TempDir;
using test::TestServer;
namespace fs = std::filesystem;

Bytes descriptor(uint32_t version, uint32_t crc) {
    const auto d = encodeUpdateDescriptor(UpdateDescriptor{version, crc});
    return Bytes(d.begin(), d.end());
}

// Every file of a folder with its bytes.
std::map<std::string, Bytes> snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(dir)) {
        files[e.path().filename().string()] = e.is_directory() ? Bytes{'/'} : test::readAll(e.path());
    }
    return files;
}

class SelfUpdate : public ::testing::Test {
protected:
    SelfUpdate() : db(dir / "RecData.dat") {
        settings.updateFolderUrl = served.url("intern/Runwarden/");
        settings.records.recordsUrl = served.url("intern/Runwarden/RecData.dat");
        settings.records.runsListUrl = served.url("demos_tcl.txt");
        settings.programVersion = 15;
        // Records equal on both sides: the refresh leaves no message of its own.
        test::RecDataBuilder records;
        records.map("kz_a").start(test::bytesOf("s")).stop(test::bytesOf("t"));
        served.put("intern/Runwarden/RecData.dat", records.bytes());
        dir.write("RecData.dat", records.bytes());
        served.put("demos_tcl.txt", std::string_view("list\nkz_a 00:10.00 someone\n"));
        served.put("intern/Runwarden/changelog.txt", std::string_view("Version 16:\r\n- faster"));
        host.ownPath = dir.write("Runwarden.exe", oldProgram);
        result.repaint = {&SelfUpdate::onRepaint, this};
    }

    void publish(uint32_t version, const Bytes& program) { publish(version, program, crc32(program)); }
    void publish(uint32_t version, const Bytes& program, uint32_t crc) {
        served.put("intern/Runwarden/x64/UpdateData.dat", descriptor(version, crc));
        served.put("intern/Runwarden/x64/Runwarden.exe", program);
    }

    UpdatePassEnd run() { return runUpdatePass(result, db, host, settings); }

    bool requested(std::string_view path) const {
        const auto log = served.requests();
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0;
        });
    }
    std::wstring text() const { return std::wstring(result.messageText.view()); }

    // Each repaint as "code text", to check what the window could have shown.
    static void onRepaint(void* self) {
        auto* t = static_cast<SelfUpdate*>(self);
        t->repaints.push_back(std::to_string(t->result.status()) + " " + platform::wideToUtf8(t->result.messageText.view()));
    }

    const Bytes oldProgram = test::bytesOf("MZ old program, version 15");
    const Bytes newProgram = test::bytesOf("MZ new program, version 16, somewhat longer");
    ServedFolder served;
    TempDir dir;
    RecordsDatabase db;
    RecordingHost host;
    CheckResult result;
    UpdateSettings settings;
    std::vector<std::string> repaints;
};

TEST_F(SelfUpdate, UnreachableServerSkipsThePromptButRefreshesRecords) {
    settings.updateFolderUrl = TestServer::instance().deadUrl("/intern/Runwarden/");
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(text(), L"Unable to connect to update server!");
    EXPECT_EQ(result.status(), -1);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(repaints, (std::vector<std::string>{"-1 Unable to connect to update server!"}));
    EXPECT_TRUE(requested("/demos_tcl.txt"));
    EXPECT_EQ(db.state, 1);

    // A descriptor shorter than 8 bytes is as good as none.
    CheckResult second;
    served.put("intern/Runwarden/x64/UpdateData.dat", Bytes{16, 0, 0, 0, 1, 2, 3});
    settings.updateFolderUrl = served.url("intern/Runwarden/");
    RecordsDatabase db2(dir / "RecData.dat");
    runUpdatePass(second, db2, host, settings);
    EXPECT_EQ(std::wstring(second.messageText.view()), L"Unable to connect to update server!");
    EXPECT_EQ(second.status(), -1);
}

TEST_F(SelfUpdate, SameVersionAsksNothing) {
    publish(15, newProgram);
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_TRUE(host.events.empty());
    EXPECT_EQ(result.status(), 0);
    EXPECT_TRUE(result.messageText.empty());
    EXPECT_FALSE(requested("/x64/Runwarden.exe"));
    EXPECT_FALSE(requested("/changelog.txt"));
    EXPECT_TRUE(requested("RWUpdate /intern/Runwarden/x64/UpdateData.dat"));
}

TEST_F(SelfUpdate, NewerOrOlderVersionIsOfferedAndMayBeDeclined) {
    for (uint32_t version : {16u, 14u}) {
        host.events.clear();
        CheckResult fresh;
        RecordsDatabase freshDb(dir / "RecData.dat");
        publish(version, newProgram);
        EXPECT_EQ(runUpdatePass(fresh, freshDb, host, settings), UpdatePassEnd::Finished);
        EXPECT_EQ(host.events, (std::vector<std::string>{"prompt"})) << version;
        EXPECT_EQ(fresh.status(), 0);
        EXPECT_TRUE(fresh.messageText.empty());
    }
    EXPECT_FALSE(requested("/x64/Runwarden.exe"));
    EXPECT_EQ(snapshot(dir.path()).at("Runwarden.exe"), oldProgram);
}

TEST_F(SelfUpdate, AcceptedUpdateReplacesTheProgramAndRestarts) {
    publish(16, newProgram);
    host.answerYes = true;
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(host.events, (std::vector<std::string>{"prompt", "module path", "move Runwarden.exe > Updating.tmp",
                                                     "move Runwarden.new > Runwarden.exe",
                                                     "start Runwarden.exe \"-delete Updating.tmp\"", "close"}));
    EXPECT_EQ(test::readAll(dir / "Runwarden.exe"), newProgram);
    EXPECT_EQ(test::readAll(dir / "Updating.tmp"), oldProgram);
    EXPECT_EQ(text(), L"Updating Software ...");
    EXPECT_EQ(result.status(), 102);
    EXPECT_EQ(repaints, (std::vector<std::string>{"102 Updating Software ..."}));
    // The records refresh does not run when the new program was started.
    EXPECT_FALSE(requested("/intern/Runwarden/RecData.dat"));
    EXPECT_FALSE(requested("/demos_tcl.txt"));
}

TEST_F(SelfUpdate, ProgramUnderAnotherNameIsMovedAsideToo) {
    fs::remove(dir / "Runwarden.exe");
    host.ownPath = dir.write("rw-old.exe", oldProgram);
    publish(16, newProgram);
    host.answerYes = true;
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(snapshot(dir.path()), (std::map<std::string, Bytes>{{"RecData.dat", test::readAll(dir / "RecData.dat")},
                                                                  {"Runwarden.exe", newProgram},
                                                                  {"Updating.tmp", oldProgram}}));
}

TEST_F(SelfUpdate, ChecksumMismatchRestoresTheFolderExactly) {
    for (bool ownIsRunwarden : {true, false}) {
        if (!ownIsRunwarden) {
            fs::remove(dir / "Runwarden.exe");
            host.ownPath = dir.write("rw-old.exe", oldProgram);
        }
        const auto before = snapshot(dir.path());
        CheckResult fresh;
        RecordsDatabase freshDb(dir / "RecData.dat");
        publish(16, newProgram, crc32(newProgram) ^ 1);
        host.answerYes = true;
        EXPECT_EQ(runUpdatePass(fresh, freshDb, host, settings), UpdatePassEnd::Finished);
        EXPECT_EQ(snapshot(dir.path()), before);
        EXPECT_EQ(std::wstring(fresh.messageText.view()), L"Update Failed!");
        EXPECT_EQ(fresh.status(), -1);
    }
}

TEST_F(SelfUpdate, ProgramThatDoesNotStartIsRolledBack) {
    const auto before = snapshot(dir.path());
    publish(16, newProgram);
    host.answerYes = true;
    host.startSucceeds = false;
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_EQ(text(), L"Update Failed!");
    EXPECT_EQ(result.status(), -1);
    EXPECT_EQ(repaints,
              (std::vector<std::string>{"102 Updating Software ...", "102 Update Failed!", "-1 Update Failed!"}));
    EXPECT_TRUE(requested("/demos_tcl.txt"));
}

TEST_F(SelfUpdate, UnopenedProgramUrlTouchesNoFile) {
    const auto before = snapshot(dir.path());
    publish(16, newProgram);
    served.put("intern/Runwarden/x64/Runwarden.exe.unreachable", std::string_view());
    host.answerYes = true;
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(host.events, (std::vector<std::string>{"prompt", "module path"}));
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_EQ(text(), L"Update Failed!");
    EXPECT_EQ(result.status(), -1);
}

TEST_F(SelfUpdate, LeftoverUpdatingFileThatCannotBeDeletedIsMovedAside) {
    dir.write("Updating.tmp", Bytes{'x'});
    host.locked = dir / "Updating.tmp";
    host.lockedTries = -1;
    publish(16, newProgram);
    host.answerYes = true;
    EXPECT_EQ(run(), UpdatePassEnd::Restarted);
    EXPECT_EQ(test::readAll(dir / "Runwarden.exe"), newProgram);
    EXPECT_EQ(test::readAll(dir / "Updating.tmp"), oldProgram);
    EXPECT_EQ(test::readAll(dir / "Updating-1.tmp"), Bytes{'x'});
}

TEST_F(SelfUpdate, UncreatableProgramFilePutsTheOldProgramBack) {
    fs::remove(dir / "Runwarden.exe");
    host.ownPath = dir.write("rw-old.exe", oldProgram);
    fs::create_directory(dir / "Runwarden.exe");  // in the way of the new program
    const auto before = snapshot(dir.path());
    publish(16, newProgram);
    host.answerYes = true;
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_EQ(text(), L"Update Failed!");
}

TEST_F(SelfUpdate, AfterAnUpdateTheChangeLogIsShownAndTheVersionCheckedAgain) {
    dir.write("Updating.tmp", oldProgram);
    host.args = {L"C:\\Games\\Runwarden.exe", std::wstring(kDeleteSwitch) + (dir / "Updating.tmp").wstring()};
    publish(15, newProgram);
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_FALSE(fs::exists(dir / "Updating.tmp"));
    EXPECT_EQ(host.events, (std::vector<std::string>{"change log"}));  // version 15: no second prompt
    EXPECT_EQ(host.changeLogs, (std::vector<std::string>{"Version 16:\r\n- faster"}));
    EXPECT_EQ(text(), L"Updated Successfully");
    EXPECT_EQ(result.status(), -1);
    EXPECT_EQ(repaints, (std::vector<std::string>{"102 Updated Successfully", "-1 Updated Successfully"}));

    // Declining a further version leaves the same text.
    CheckResult second;
    RecordsDatabase db2(dir / "RecData.dat");
    publish(17, newProgram);
    runUpdatePass(second, db2, host, settings);
    EXPECT_EQ(std::wstring(second.messageText.view()), L"Updated Successfully");
    EXPECT_EQ(second.status(), -1);
}

TEST_F(SelfUpdate, UnreachableChangeLogShowsAnEmptyBoxAndSkipsTheDescriptor) {
    host.args = {L"-delete " + (dir / "Updating.tmp").wstring()};  // argument 0 counts too
    publish(16, newProgram);
    served.put("intern/Runwarden/changelog.txt.unreachable", std::string_view());
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(host.events, (std::vector<std::string>{"change log"}));
    EXPECT_EQ(host.changeLogs, (std::vector<std::string>{""}));
    EXPECT_FALSE(requested("/x64/UpdateData.dat"));
    EXPECT_EQ(text(), L"Unable to connect to update server!");
    EXPECT_EQ(result.status(), -1);
}

TEST_F(SelfUpdate, RecordsMessageReplacesTheUpdateMessages) {
    test::RecDataBuilder newer;
    newer.revision(57);
    newer.map("kz_b").start(test::bytesOf("s")).stop(test::bytesOf("t"));
    served.put("intern/Runwarden/RecData.dat", newer.bytes());
    host.args = {L"x", L"-delete " + (dir / "Updating.tmp").wstring()};
    publish(15, newProgram);
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_EQ(text(), L"Updated file: \"" + (dir / "RecData.dat").wstring() + L"\" (57)");
    EXPECT_EQ(result.status(), -1);
    EXPECT_EQ(repaints.front(), "102 Updated Successfully");
    EXPECT_EQ(repaints.size(), 2u);  // the final code was set with the records message
}

TEST_F(SelfUpdate, OnlyTheFirstExactDeleteSwitchCounts) {
    dir.write("a.tmp", Bytes{1});
    dir.write("b.tmp", Bytes{2});
    host.args = {L"Runwarden.exe", L"-delete", L"-DELETE " + (dir / "a.tmp").wstring(),
                 L"x-delete " + (dir / "a.tmp").wstring(), L"-delete " + (dir / "b.tmp").wstring(),
                 L"-delete " + (dir / "a.tmp").wstring()};
    publish(15, newProgram);
    run();
    EXPECT_TRUE(fs::exists(dir / "a.tmp"));
    EXPECT_FALSE(fs::exists(dir / "b.tmp"));
    EXPECT_EQ(text(), L"Updated Successfully");
}

TEST_F(SelfUpdate, OverlongSwitchIsRefused) {
    const std::wstring prefix = L"-delete " + dir.path().wstring() + L"/";
    const std::wstring fits = prefix + std::wstring(kSwitchArgumentMax - prefix.size(), L'f');
    const std::wstring tooLong = prefix + std::wstring(kSwitchArgumentMax + 1 - prefix.size(), L'g');
    ASSERT_EQ(fits.size(), 259u);
    ASSERT_EQ(tooLong.size(), 260u);
    const fs::path fitsFile = fits.substr(kDeleteSwitch.size());
    const fs::path longFile = tooLong.substr(kDeleteSwitch.size());
    std::ofstream(fitsFile) << "x";
    std::ofstream(longFile) << "x";
    publish(15, newProgram);

    host.args = {L"Runwarden.exe", tooLong, fits};
    run();
    EXPECT_TRUE(fs::exists(longFile));
    EXPECT_TRUE(fs::exists(fitsFile));  // only the first switch is ever looked at
    EXPECT_TRUE(host.changeLogs.empty());
    EXPECT_EQ(result.status(), 0);

    CheckResult second;
    RecordsDatabase db2(dir / "RecData.dat");
    host.args = {L"Runwarden.exe", fits};
    runUpdatePass(second, db2, host, settings);
    EXPECT_FALSE(fs::exists(fitsFile));
    EXPECT_EQ(std::wstring(second.messageText.view()), L"Updated Successfully");
}

TEST_F(SelfUpdate, DeletionIsRetriedWhileThePreviousProgramHoldsItsFile) {
    dir.write("Updating.tmp", oldProgram);
    host.args = {L"Runwarden.exe", L"-delete Updating.tmp"};  // in the program's folder, as the restart passes it
    host.locked = dir / "Updating.tmp";
    host.lockedTries = 3;
    publish(15, newProgram);
    run();
    EXPECT_FALSE(fs::exists(dir / "Updating.tmp"));
    EXPECT_EQ(host.sleeps, 3u);
    EXPECT_EQ(text(), L"Updated Successfully");
}

TEST_F(SelfUpdate, DeletionGivesUpAfterTenSeconds) {
    dir.write("Updating.tmp", oldProgram);
    host.args = {L"Runwarden.exe", L"-delete " + (dir / "Updating.tmp").wstring()};
    host.locked = dir / "Updating.tmp";
    host.lockedTries = -1;  // never deletable
    publish(15, newProgram);
    EXPECT_EQ(run(), UpdatePassEnd::Finished);
    EXPECT_TRUE(fs::exists(dir / "Updating.tmp"));
    EXPECT_EQ(host.clockMs, kDeleteRetryLimitMs);
    EXPECT_EQ(text(), L"Updated Successfully");
    EXPECT_EQ(host.changeLogs.size(), 1u);
}

TEST(UpdateDescriptor, FirstEightBytesCount) {
    EXPECT_FALSE(parseUpdateDescriptor(Bytes{1, 2, 3, 4, 5, 6, 7}).has_value());
    const auto d = parseUpdateDescriptor(Bytes{16, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0xFF});
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->version, 16u);
    EXPECT_EQ(d->programCrc, 0x12345678u);
}

}  // namespace
}  // namespace rw
