#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recdata.h"
#include "records/records_database.h"
#include "records/runs_list.h"

namespace rw {
namespace {

using Runs = std::vector<std::string>;

RecordsDatabase fourMaps() {
    RecordsDatabase db;
    EXPECT_TRUE(db.decodeRecords(test::recData("map kz_cave\nmode 0\nmap kz_a\nmode 0\nmap kz_b\nmode 0\n"
                                               "map KZ_Longjumps\nmode 0\n")));
    return db;
}

// A records file with four maps and the runs a list text gives them, in file order.
TEST(RunsList, MergesLinesForKnownMaps) {
    using Merged = std::map<std::string, Runs>;
    const std::string fits = "kz_a " + std::string(kRunsLineMax - 5, 'x');
    const std::string over = "kz_b " + std::string(kRunsLineMax - 4, 'y');
    const struct {
        std::string text;
        Merged runs;  // maps not named have none
    } rows[] = {
        {"kz_a 0:59.00 first line\n", {}},  // the first line is never merged
        {"kz_a 0:59.00 first line", {}},
        {"", {}},
        {"# runs\nkz_a 1:00.00 alpha\nkz_b 2:00.00 bravo\nKZ_A 0:50.00 CAPS\nkz_longjumps 3:00.00\nkz_b x[y]\n",
         {{"kz_a", {"1:00.00 alpha", "0:50.00 CAPS"}}, {"kz_b", {"2:00.00 bravo", "x[y]"}}, {"kz_longjumps", {"3:00.00"}}}},
        {"h\nkz_b 2:30 \x81\xE9\xFF", {{"kz_b", {"2:30 \x81\xE9\xFF"}}}},  // no last break; bytes above ASCII stay
        {"h\nkz_cave[pro] 1:00.00 x\nkz_cave  2:00\nkz_cave \nkz_cave[\n", {{"kz_cave", {"[pro] 1:00.00 x", " 2:00", "", "["}}}},
        {"h\r\nkz_a 1:00\r\nkz_b 2:00\rkz_a 3:00\nkz_cave 4:00\r",  // CR belongs to the break only before LF
         {{"kz_a", {"1:00"}}, {"kz_b", {"2:00\rkz_a 3:00"}}, {"kz_cave", {"4:00\r"}}}},
        {"h\n\n kz_a 1:00\n[pro] kz_a\nkz_unknown 1:00\nkz_ab\nkz_a\nkz_b\r\nkz_c 1:00\n\r\n", {}},
        {"h\n" + fits + "\r\n" + over + "\nkz_b short\nkz_cave " + std::string(200000, 'z') + "\nkz_cave ok",
         {{"kz_a", {fits.substr(5)}}, {"kz_b", {"short"}}, {"kz_cave", {"ok"}}}},  // overlong lines are skipped
    };
    for (const auto& r : rows) {
        RecordsDatabase db = fourMaps();
        mergeRunsList(db, test::bytesOf(r.text));
        Merged got;
        for (const MapRecord& m : db.records)
            if (!m.runs.empty()) got[m.name] = m.runs;
        EXPECT_EQ(got, r.runs) << r.text.substr(0, 80);
    }
}

TEST(RunsList, ASecondListAddsToTheFirst) {
    RecordsDatabase db = fourMaps();
    mergeRunsList(db, test::bytesOf("h\nkz_a 1:00\n"));
    mergeRunsList(db, test::bytesOf("h\nkz_a 2:00\n"));
    EXPECT_EQ(db.records[*db.findMap("kz_a")].runs, (Runs{"1:00", "2:00"}));
}

TEST(RunsList, NothingIsMergedIntoAnUnloadedDatabase) {
    for (int32_t state : {0, -1}) {
        RecordsDatabase db = fourMaps();
        db.state = state;
        mergeRunsList(db, test::bytesOf("h\nkz_a 1:00\n"));
        EXPECT_EQ(db.records[0].runs, Runs{}) << state;
    }
}

}  // namespace
}  // namespace rw
