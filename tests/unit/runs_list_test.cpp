#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recdata_builder.h"
#include "records/records_database.h"
#include "records/runs_list.h"

namespace rw {
namespace {

using Runs = std::vector<std::string>;

class RunsListTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RecDataBuilder b;
        for (const char* name : {"kz_cave", "kz_a", "kz_b", "KZ_Longjumps"}) b.map(name).start({1}).stop({2});
        ASSERT_TRUE(db.decodeRecords(b.bytes()));
    }
    void merge(const std::string& text) { mergeRunsList(db, test::bytesOf(text)); }
    Runs runs(const std::string& name) const { return db.records[*db.findMap(name)].runs; }
    size_t totalRuns() const {
        size_t n = 0;
        for (const MapRecord& r : db.records) n += r.runs.size();
        return n;
    }
    RecordsDatabase db;
};

TEST_F(RunsListTest, FirstLineIsNeverMerged) {
    merge("kz_a 0:59.00 first line\n");
    merge("kz_a 0:59.00 first line");
    merge("");
    EXPECT_EQ(totalRuns(), 0u);
}

TEST_F(RunsListTest, LinesForOneMapKeepFileOrder) {
    merge("# runs\nkz_a 1:00.00 alpha\nkz_b 2:00.00 bravo\nKZ_A 0:50.00 CAPS\nkz_longjumps 3:00.00\n");
    EXPECT_EQ(runs("kz_a"), (Runs{"1:00.00 alpha", "0:50.00 CAPS"}));
    EXPECT_EQ(runs("kz_b"), Runs{"2:00.00 bravo"});
    EXPECT_EQ(runs("kz_longjumps"), Runs{"3:00.00"});
    merge("h\nkz_b 2:30 \x81\xE9\xFF");  // the last line needs no break; bytes above ASCII stay
    EXPECT_EQ(runs("kz_b"), (Runs{"2:00.00 bravo", "2:30 \x81\xE9\xFF"}));
}

TEST_F(RunsListTest, RunTextLosesOnlyOneBlankAndKeepsTheBracket) {
    merge("h\nkz_cave[pro] 1:00.00 x\nkz_cave  2:00\nkz_cave \nkz_cave[\n");
    EXPECT_EQ(runs("kz_cave"), (Runs{"[pro] 1:00.00 x", " 2:00", "", "["}));
}

TEST_F(RunsListTest, CrBelongsToTheBreakOnlyBeforeLf) {
    merge("h\r\nkz_a 1:00\r\nkz_b 2:00\rkz_a 3:00\nkz_cave 4:00\r");
    EXPECT_EQ(runs("kz_a"), Runs{"1:00"});
    EXPECT_EQ(runs("kz_b"), Runs{"2:00\rkz_a 3:00"});
    EXPECT_EQ(runs("kz_cave"), Runs{"4:00\r"});
}

TEST_F(RunsListTest, LinesThatNameNoKnownMapAreSkipped) {
    merge("h\n\n kz_a 1:00\n[pro] kz_a\nkz_unknown 1:00\nkz_ab\nkz_a\nkz_b\r\nkz_c 1:00\n\r\n");
    EXPECT_EQ(totalRuns(), 0u);
}

TEST_F(RunsListTest, OverlongLinesAreSkipped) {
    const std::string fits = "kz_a " + std::string(kRunsLineMax - 5, 'x');
    const std::string over = "kz_b " + std::string(kRunsLineMax - 4, 'y');
    merge("h\n" + fits + "\r\n" + over + "\nkz_b short\n" + "kz_cave " + std::string(200000, 'z') + "\nkz_cave ok");
    EXPECT_EQ(runs("kz_a"), Runs{fits.substr(5)});
    EXPECT_EQ(runs("kz_b"), Runs{"short"});
    EXPECT_EQ(runs("kz_cave"), Runs{"ok"});
}

TEST_F(RunsListTest, NothingIsMergedIntoAnUnloadedDatabase) {
    RecordsDatabase fresh;
    fresh.records.push_back(MapRecord{"kz_a"});
    mergeRunsList(fresh, test::bytesOf("h\nkz_a 1:00\n"));
    EXPECT_TRUE(fresh.records[0].runs.empty());
    RecordsDatabase failed;
    EXPECT_FALSE(failed.decodeRecords(test::Bytes(3, 0)));
    mergeRunsList(failed, test::bytesOf("h\nkz_a 1:00\n"));
    EXPECT_TRUE(failed.records.empty());
}

// Arbitrary bytes of any size: no crash, no read past the end (sanitizers watch).
TEST_F(RunsListTest, SurvivesArbitraryBytes) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (size_t size : {0u, 1u, 2u, 7u, 259u, 260u, 261u, 4096u, 70000u}) {
        test::Bytes bytes(size);
        for (auto& b : bytes) {
            const uint8_t r = next();
            b = r < 40 ? uint8_t{'\n'} : r < 60 ? uint8_t{'\r'} : r < 80 ? uint8_t{' '} : r < 90 ? uint8_t{'['} : r;
        }
        mergeRunsList(db, bytes);
    }
    test::Bytes every;
    for (int i = 0; i < 256; ++i) every.push_back(static_cast<uint8_t>(i));
    mergeRunsList(db, every);
}

TEST(RunsLine, TheEarlierOfBlankAndBracketEndsTheName) {
    const auto bracketFirst = parseRunsLine("kz_a[x] y z");
    ASSERT_TRUE(bracketFirst);
    EXPECT_EQ(bracketFirst->name, "kz_a");
    EXPECT_EQ(bracketFirst->run, "[x] y z");
    const auto blankFirst = parseRunsLine("KZ_A x[y]");
    ASSERT_TRUE(blankFirst);
    EXPECT_EQ(blankFirst->name, "KZ_A");
    EXPECT_EQ(blankFirst->run, "x[y]");
}

}  // namespace
}  // namespace rw
