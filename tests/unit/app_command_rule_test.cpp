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

// A drop takes its first demo or archive; the command line its first argument
// that is not the "-delete" switch a finished update restarts with.
TEST(FileToCheck, FromADropAndFromTheCommandLine) {
    using Items = std::vector<DroppedItem>;
    using Args = std::vector<std::wstring>;
    EXPECT_EQ(droppedFileToCheck(Items{{L"notes.txt"}, {L"B.RAR"}, {L"run.dem"}}), L"B.RAR");
    EXPECT_EQ(droppedFileToCheck(Items{{L"kz.dem", true}, {L"x.Dem"}}), L"x.Dem");  // a folder named like a demo
    EXPECT_EQ(droppedFileToCheck(Items{{L"dem"}, {L".demo"}, {L"folder", true}, {L"a.tar.gz"}, {L"b.7Z"}}), L"b.7Z");
    EXPECT_EQ(droppedFileToCheck(Items{{L"c.ZIP"}, {L"b.7Z"}}), L"c.ZIP");
    EXPECT_EQ(commandLineFile(Args{L"Runwarden.exe", L"-delete Updating.tmp"}), std::nullopt);
    EXPECT_EQ(commandLineFile(Args{L"Runwarden.exe", L"-delete Updating.tmp", L"", L"x.rar", L"y.dem"}), L"x.rar");
    EXPECT_EQ(commandLineFile(Args{L"Runwarden.exe", L"-deleted.dem"}), L"-deleted.dem");
    EXPECT_EQ(commandLineFile(Args{}), std::nullopt);
    using namespace std::string_literals;
    EXPECT_EQ(dialogFilter(Args{L".rar", L".zip"}),
              L"Demo Files (*.dem; *.rar; *.zip)\0*.dem;*.rar;*.zip\0All Files (*.*)\0*.*\0"s);
    EXPECT_EQ(dialogFilter(Args{}), L"Demo Files (*.dem)\0*.dem\0All Files (*.*)\0*.*\0"s);
}

}  // namespace
}  // namespace rw::app
