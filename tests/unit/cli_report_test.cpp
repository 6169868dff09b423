#include <gtest/gtest.h>

#include "cli/json_report.h"

namespace rw::cli {
namespace {

TEST(JsonString, EscapesControlsQuotesAndBrokenUtf8) {
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("x\ny\x1f"), "\"x\\ny\\u001f\"");
    EXPECT_EQ(jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(jsonString("bad\xc3"), "\"bad\\ufffd\"");
    EXPECT_EQ(jsonString("\xff\xfe"), "\"\\ufffd\\ufffd\"");
}

// The window's copy of a report has no file line.
TEST(CheckReportText, WithoutAFileLine) {
    CheckReport r;
    r.status = -1;
    r.message = "Opening file failed!";
    EXPECT_EQ(toText(r), "  Rejected:      Opening file failed!\n");
}

}  // namespace
}  // namespace rw::cli
