#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/command_rule.h"

namespace rw::app {
namespace {

TEST(CommandRule, AClickStartsACheckOnlyWhenNothingIsBusy) {
    const CheckRun idle;
    const CheckRun running{true, false};
    for (int32_t status : {0, -1, -2, -3, 100}) {
        EXPECT_TRUE(commandStartsCheck(1, status, idle)) << status;
        // The window's own check, before it has published anything of its own.
        EXPECT_FALSE(commandStartsCheck(1, status, running)) << status;
    }
    // A check running, the update check, an update message.
    for (int32_t status : {1, 42, 99, 101, 102}) EXPECT_FALSE(commandStartsCheck(1, status, idle)) << status;
}

TEST(CommandRule, OnlyTheButtonsPlainClickCounts) {
    EXPECT_FALSE(commandStartsCheck(0, 0, {}));                     // the records list's selection
    EXPECT_FALSE(commandStartsCheck((1u << 16) | 1u, 0, {}));       // id 1 with a notification code
    EXPECT_FALSE(commandStartsCheck(uint64_t{1} << 32 | 1, 0, {}));  // not exactly 1
}

TEST(CommandRule, ARunningCheckShowsNothingOfThePreviousOutcome) {
    CheckRun run{true, false};
    // Status, then what the paint shows, in the order a check goes through them.
    const std::vector<std::pair<int32_t, int32_t>> steps{{100, 0}, {-2, 0}, {1, 1}, {57, 57}, {100, 100}};
    for (const auto& [status, shown] : steps) EXPECT_EQ(statusToShow(status, run), shown) << status;
    // One that fails before any progress shows its failure once it is done.
    run = CheckRun{true, false};
    EXPECT_EQ(statusToShow(-1, run), 0);
    run = CheckRun{};
    EXPECT_EQ(statusToShow(-1, run), -1);
}

}  // namespace
}  // namespace rw::app
