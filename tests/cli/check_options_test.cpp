#include <gtest/gtest.h>

#include "cli/check_options.h"

namespace rw::cli {
namespace {

TEST(CheckOptions, ParsesEveryOptionAndKeepsDemoOrder) {
    auto p = parseCheckOptions({"--records", "R.dat", "b.dem", "--runs", "t.txt", "--json", "a.dem", "--jobs", "3",
                                "--recursive", "--", "--odd-name.dem"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.recordsPath, "R.dat");
    EXPECT_EQ(p.options.runsPath, "t.txt");
    EXPECT_TRUE(p.options.json);
    EXPECT_TRUE(p.options.recursive);
    EXPECT_EQ(p.options.jobs, 3u);
    EXPECT_EQ(p.options.demos, (std::vector<std::string>{"b.dem", "a.dem", "--odd-name.dem"}));
}

TEST(CheckOptions, UsageErrors) {
    EXPECT_EQ(parseCheckOptions({}).error, "no demo given");
    EXPECT_EQ(parseCheckOptions({"--json"}).error, "no demo given");
    EXPECT_EQ(parseCheckOptions({"--frobnicate", "a.dem"}).error, "unknown option --frobnicate");
    EXPECT_EQ(parseCheckOptions({"a.dem", "--records"}).error, "option --records needs a value");
    EXPECT_NE(parseCheckOptions({"--jobs", "0", "a.dem"}).error, "");
    EXPECT_NE(parseCheckOptions({"--jobs", "2x", "a.dem"}).error, "");
    EXPECT_NE(parseCheckOptions({"--update-server", "http://x", "a.dem"}).error, "");
    // Help and version need no demo; refresh alone is a complete job.
    EXPECT_EQ(parseCheckOptions({"--help"}).error, "");
    EXPECT_EQ(parseCheckOptions({"--version"}).error, "");
    EXPECT_EQ(parseCheckOptions({"--refresh", "--update-server", "http://127.0.0.1:1"}).error, "");
}

}  // namespace
}  // namespace rw::cli
