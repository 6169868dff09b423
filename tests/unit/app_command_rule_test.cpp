#include <gtest/gtest.h>

#include "app/command_rule.h"

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

}  // namespace
}  // namespace rw::app
