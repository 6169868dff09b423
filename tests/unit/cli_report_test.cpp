#include <gtest/gtest.h>

#include "cli/check_report.h"

namespace rw::cli {
namespace {

TEST(JsonString, EscapesControlsQuotesAndBrokenUtf8) {
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("x\ny\x01"), "\"x\\ny\\u0001\"");
    EXPECT_EQ(jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(jsonString("bad\xc3"), "\"bad\\ufffd\"");
    EXPECT_EQ(jsonString("\xff\xfe"), "\"\\ufffd\\ufffd\"");
}

TEST(CheckReportJson, HasExactlyTheAgreedKeysInOrder) {
    CheckReport r;
    r.file = "dir/run.dem";
    r.status = -2;
    r.message = "Demo was not recorded on lan server!";
    r.demo = "run";
    r.map = "kz_a";
    r.time = "--:--.--";
    EXPECT_EQ(toJsonLine(r),
              "{\"file\":\"dir/run.dem\",\"status\":-2,\"message\":\"Demo was not recorded on lan server!\","
              "\"demo\":\"run\",\"map\":\"kz_a\",\"player\":\"\",\"steamid\":null,\"time\":\"--:--.--\","
              "\"fps\":\"\",\"fps_average\":0,\"settings\":[],\"world_records\":[]}");
    r.status = 100;
    r.steamId = "STEAM_0:1:2";
    r.fpsAverage = 99.5f;
    r.settings = {"sv_gravity is not correct"};
    r.worldRecords = {"01:00.00 a", "[pro] 01:01.00 b"};
    const std::string j = toJsonLine(r);
    EXPECT_NE(j.find("\"steamid\":\"STEAM_0:1:2\""), std::string::npos);
    EXPECT_NE(j.find("\"fps_average\":99.5,"), std::string::npos);
    EXPECT_NE(j.find("\"settings\":[\"sv_gravity is not correct\"]"), std::string::npos);
    EXPECT_NE(j.find("\"world_records\":[\"01:00.00 a\",\"[pro] 01:01.00 b\"]}"), std::string::npos);
}

TEST(CheckReportText, FinishedRunListsEveryRowAndRejectionOnlyTheReason) {
    CheckReport r;
    r.file = "run.dem";
    r.status = 100;
    r.demo = "run";
    r.player = "Player";
    r.map = "kz_a";
    r.time = "01:23.45";
    r.fps = "100.00";
    const std::string ok = toText(r);
    EXPECT_NE(ok.find("  SteamID:       ----\n"), std::string::npos);
    EXPECT_NE(ok.find("  Time:          01:23.45\n"), std::string::npos);
    EXPECT_NE(ok.find("  Settings:      all settings correct\n"), std::string::npos);
    r.status = -1;
    r.map = "";
    r.message = "Opening file failed!";
    EXPECT_EQ(toText(r), "run.dem\n  Rejected:      Opening file failed!\n");
    r.file.clear();  // the window's copy has no file line
    EXPECT_EQ(toText(r), "  Rejected:      Opening file failed!\n");
}

}  // namespace
}  // namespace rw::cli
