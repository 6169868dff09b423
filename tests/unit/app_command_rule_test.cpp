#include <gtest/gtest.h>

#include "app/command_rule.h"

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

TEST(CommandRule, OnlyTheButtonsPlainClickCounts) {
    EXPECT_FALSE(commandStartsCheck(0, 0, false));                     // the records list's selection
    EXPECT_FALSE(commandStartsCheck((1u << 16) | 1u, 0, false));       // id 1 with a notification code
    EXPECT_FALSE(commandStartsCheck(uint64_t{1} << 32 | 1, 0, false));  // not exactly 1
}

}  // namespace
}  // namespace rw::app
