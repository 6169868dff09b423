#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/command_rule.h"
#include "app/file_to_check.h"

namespace rw::app {
namespace {

TEST(CommandRule, AClickStartsACheckOnlyWhenNothingIsBusy) {
    for (int32_t status : {0, -1, -2, -3, 100}) {
        EXPECT_TRUE(commandStartsCheck(1, status, false)) << status;
        // The window's own check, whose status may still be the previous outcome's.
        EXPECT_FALSE(commandStartsCheck(1, status, true)) << status;
    }
    // A check running, the update check, an update message.
    for (int32_t status : {1, 42, 99, 101, 102}) EXPECT_FALSE(commandStartsCheck(1, status, false)) << status;
}

TEST(CommandRule, OnlyTheButtonsPlainClickAndCtrlOCount) {
    EXPECT_FALSE(commandStartsCheck(0, 0, false));                     // the records list's selection
    EXPECT_FALSE(commandStartsCheck((1u << 16) | 1u, 0, false));       // id 1 with a notification code
    EXPECT_FALSE(commandStartsCheck(uint64_t{1} << 32 | 1, 0, false));  // not exactly 1
    EXPECT_FALSE(commandStartsCheck(2, 0, false));                     // Escape
    const uint64_t ctrlO = 1u << 16 | kOpenShortcutId;
    EXPECT_TRUE(commandStartsCheck(ctrlO, 0, false));
    EXPECT_FALSE(commandStartsCheck(ctrlO, 101, false));
    EXPECT_FALSE(commandStartsCheck(ctrlO, 0, true));
    EXPECT_FALSE(commandStartsCheck(kOpenShortcutId, 0, false));  // not from the keyboard
    EXPECT_TRUE(commandCopiesResult(1u << 16 | kCopyShortcutId));
    EXPECT_FALSE(commandCopiesResult(kCopyShortcutId));
    EXPECT_FALSE(commandCopiesResult(ctrlO));
}

TEST(FileToCheck, TheFirstDemoOrArchiveOfADrop) {
    const struct {
        std::vector<DroppedItem> items;
        std::optional<std::wstring> chosen;
    } cases[] = {
        {{{L"C:\\a\\run.dem"}}, L"C:\\a\\run.dem"},
        {{{L"notes.txt"}, {L"B.RAR"}, {L"run.dem"}}, L"B.RAR"},
        {{{L"kz.dem", true}, {L"x.Dem"}}, L"x.Dem"},  // a folder named like a demo
        {{{L"notes.txt"}, {L"dem"}, {L".demo"}, {L"folder", true}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(droppedFileToCheck(c.items), c.chosen);
}

TEST(FileToCheck, TheFirstArgumentThatIsNotTheDeleteSwitch) {
    using Args = std::vector<std::wstring>;
    const struct {
        Args args;
        std::optional<std::wstring> file;
    } cases[] = {
        {{L"Runwarden.exe"}, std::nullopt},
        {{L"Runwarden.exe", L"-delete Updating.tmp"}, std::nullopt},
        {{L"Runwarden.exe", L"C:\\runs\\a b.dem"}, L"C:\\runs\\a b.dem"},
        {{L"Runwarden.exe", L"-delete Updating.tmp", L"", L"x.rar", L"y.dem"}, L"x.rar"},
        {{L"Runwarden.exe", L"-deleted.dem"}, L"-deleted.dem"},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(commandLineFile(c.args), c.file);
}

}  // namespace
}  // namespace rw::app
