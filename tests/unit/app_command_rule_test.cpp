#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/command_rule.h"
#include "app/file_to_check.h"

namespace rw::app {
namespace {

// Only the button's plain click and Ctrl+O start a check, and only when nothing is busy.
TEST(CommandRule, StartsACheck) {
    const uint64_t ctrlO = 1u << 16 | kOpenShortcutId;
    const struct {
        uint64_t command;
        int32_t status;
        bool ownCheck, starts;
    } rows[] = {
        {1, 0, false, true},   {1, -3, false, true},  {1, 100, false, true},  {1, 100, true, false},
        {1, 1, false, false},  {1, 99, false, false}, {1, 101, false, false}, {0, 0, false, false},
        {(1u << 16) | 1u, 0, false, false},  // id 1 with a notification code
        {uint64_t{1} << 32 | 1, 0, false, false},
        {ctrlO, 0, false, true}, {ctrlO, 101, false, false},
        {kOpenShortcutId, 0, false, false},  // not from the keyboard
    };
    for (const auto& r : rows) EXPECT_EQ(commandStartsCheck(r.command, r.status, r.ownCheck), r.starts) << r.command;
    EXPECT_TRUE(commandCopiesResult(1u << 16 | kCopyShortcutId));
    EXPECT_FALSE(commandCopiesResult(kCopyShortcutId));
}

TEST(FileToCheck, TheFirstArgumentThatIsNotTheDeleteSwitch) {
    using Args = std::vector<std::wstring>;
    const struct {
        Args args;
        std::optional<std::wstring> file;
    } cases[] = {
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
