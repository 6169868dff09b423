#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "recdata_builder.h"
#include "records/records_database.h"

namespace rw {
namespace {

using test::Bytes;
using test::positionBytes;
using test::RecDataBuilder;

std::vector<std::string> namesOf(const RecordsDatabase& db) {
    std::vector<std::string> names;
    for (const MapRecord& r : db.records) names.push_back(r.name);
    return names;
}

RecordsDatabase decoded(const RecDataBuilder& b) {
    RecordsDatabase db;
    EXPECT_TRUE(db.decodeRecords(b.bytes()));
    return db;
}

// Names are cut at a NUL and lowered, then sorted by unsigned bytes, shorter first.
TEST(RecordsDatabase, NamesAreCutLoweredAndSorted) {
    using Names = std::vector<std::string>;
    const struct {
        Names stored, loaded;
    } rows[] = {
        {{"kz_b", "kz_a", "kz_\xE9", "kz", "KZ_Cave"}, {"kz", "kz_a", "kz_b", "kz_cave", "kz_\xE9"}},
        {{std::string("kz_a\0\0", 6), "kz_b", std::string("KZ_Cave\0junk", 12), std::string("\0hidden", 7)},
         {"", "kz_a", "kz_b", "kz_cave"}},
        {{"kz_a", "KZ_A"}, {"kz_a", "kz_a"}},  // duplicates are kept
    };
    for (const auto& r : rows) {
        RecDataBuilder b;
        for (const std::string& name : r.stored) b.map(name);
        const RecordsDatabase db = decoded(b);
        EXPECT_EQ(db.state, 1);
        EXPECT_EQ(namesOf(db), r.loaded);
        for (size_t i = 0; i < db.records.size(); ++i) EXPECT_EQ(db.records[*db.findMap(db.records[i].name)].name, db.records[i].name);
    }
}

// Keys are not lowered by the lookup and compare up to a NUL.
TEST(RecordsDatabase, Lookups) {
    RecDataBuilder b;
    for (const char* name : {"kz_d", "kz_b", "kz_f", "KZ_Cave"}) b.map(name);
    const RecordsDatabase db = decoded(b);
    const struct {
        std::string key;
        std::optional<size_t> found;
    } rows[] = {
        {"kz_b", 0}, {"kz_cave", 1}, {std::string("kz_cave\0junk", 12), 1}, {"kz_f", 3},
        {"KZ_Cave", {}}, {"", {}}, {"a", {}}, {"kz_a", {}}, {"kz_b0", {}}, {"kz_c", {}},
        {"kz_e", {}}, {"kz_g", {}}, {"kz_f_", {}}, {"zz", {}}, {"\xFF", {}},
    };
    for (const auto& r : rows) EXPECT_EQ(db.findMap(r.key), r.found) << r.key;
}

TEST(RecordsDatabase, ModeThreeKindsAndPositions) {
    RecDataBuilder b;
    b.map("kz_three", 3)
        .start({1, 2, 3})
        .startAt(-1, 256, 32767)
        .stopAt(10, -20, -32768, 7)  // any kind but 1 is a position
        .stop({0xFF});
    const RecordsDatabase db = decoded(b);
    ASSERT_EQ(db.records.size(), 1u);
    const MapRecord& r = db.records[0];
    EXPECT_EQ(r.mode, 3);
    EXPECT_EQ(r.startEntries, (std::vector<ByteString>{{1, 2, 3}, positionBytes(-1, 256, 32767)}));
    EXPECT_EQ(r.startKinds, (std::vector<bool>{true, false}));
    EXPECT_EQ(r.stopEntries, (std::vector<ByteString>{positionBytes(10, -20, -32768), {0xFF}}));
    EXPECT_EQ(r.stopKinds, (std::vector<bool>{false, true}));
    EXPECT_EQ(r.startEntries[1].size(), 6u);
}

TEST(RecordsDatabase, OtherModesHaveNoKinds) {
    RecDataBuilder b;
    b.map("kz_zero", 0).start({1}).start({2, 3}).stop({4});
    b.map("kz_seven", 7).start({9});  // stored as read, detects nothing
    const RecordsDatabase db = decoded(b);
    const MapRecord& zero = db.records[*db.findMap("kz_zero")];
    EXPECT_EQ(zero.startEntries, (std::vector<ByteString>{{1}, {2, 3}}));
    EXPECT_EQ(zero.stopEntries, std::vector<ByteString>{{4}});
    EXPECT_TRUE(zero.startKinds.empty());
    EXPECT_TRUE(zero.stopKinds.empty());
    EXPECT_EQ(db.records[*db.findMap("kz_seven")].mode, 7);
}

TEST(RecordsDatabase, HeaderOnlyFileLoadsEmpty) {
    RecDataBuilder b;
    b.storedCrc(0);
    RecordsDatabase db;
    EXPECT_TRUE(db.decodeRecords(b.bytes()));
    EXPECT_EQ(db.state, 1);
    EXPECT_TRUE(db.records.empty());
    EXPECT_FALSE(db.findMap(""));
    EXPECT_FALSE(db.findMap("kz_a"));
}

// Every cut of a body either falls on a record boundary (and loads the records
// before it) or inside a record (and is rejected without reading past it).
TEST(RecordsDatabase, TruncatedBodiesAreRejected) {
    RecDataBuilder b;
    std::set<size_t> boundaries = {12};
    b.map("kz_a", 0).start({1, 2}).stop({3});
    boundaries.insert(12 + b.body().size());
    b.map("kz_b", 3).start({4, 5}).startAt(1, 2, 3).stopAt(4, 5, 6, 9);
    boundaries.insert(12 + b.body().size());
    b.map("kz_c", 1).start({6}).stop({7, 8, 9});
    const Bytes full = b.bytes();
    boundaries.insert(full.size());
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        // An exact-size copy so that AddressSanitizer sees any read past the end.
        const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        RecordsDatabase db;
        const bool ok = db.decodeRecords(part);
        EXPECT_EQ(ok, boundaries.count(cut) == 1) << "cut at " << cut;
        EXPECT_EQ(db.state, ok ? 1 : -1);
        if (!ok) {
            EXPECT_TRUE(db.records.empty());
            EXPECT_FALSE(db.findMap("kz_a"));
        }
    }
}

TEST(RecordsDatabase, ZeroLengthPatternsAreRejected) {
    for (uint8_t mode : {uint8_t{0}, uint8_t{3}}) {
        RecDataBuilder b;
        b.map("kz_good").start({1});
        b.map("kz_bad", mode).start({1}).stop({});
        RecordsDatabase db;
        EXPECT_FALSE(db.decodeRecords(b.bytes())) << "mode " << int(mode);
        EXPECT_EQ(db.state, -1);
        EXPECT_TRUE(db.records.empty());
        EXPECT_FALSE(db.findMap("kz_good"));
    }
}

TEST(RecordsDatabase, RejectionDropsEarlierRecords) {
    RecordsDatabase db;
    RecDataBuilder good;
    good.map("kz_a").start({1});
    ASSERT_TRUE(db.decodeRecords(good.bytes()));
    RecDataBuilder bad;
    bad.map("kz_b").start({1});
    bad.raw({5, 'k', 'z'});
    EXPECT_FALSE(db.decodeRecords(bad.bytes()));
    EXPECT_TRUE(db.records.empty());
    EXPECT_FALSE(db.findMap("kz_a"));
    EXPECT_FALSE(db.decodeRecords(Bytes(11, 0)));  // not even a header
}

TEST(RecordsDatabase, FindsEveryNameAmongMany) {
    RecDataBuilder b;
    for (int i = 299; i >= 0; i -= 2) b.map("map" + std::to_string(1000 + i));
    const RecordsDatabase db = decoded(b);
    ASSERT_EQ(db.records.size(), 150u);
    for (int i = 0; i < 300; ++i) {
        const auto found = db.findMap("map" + std::to_string(1000 + i));
        EXPECT_EQ(found.has_value(), i % 2 == 1) << i;
        if (found) {
            EXPECT_EQ(db.records[*found].name, "map" + std::to_string(1000 + i));
        }
    }
}

TEST(RecordsDatabase, LookupsFindNothingUntilLoaded) {
    RecordsDatabase db;
    db.records.push_back(MapRecord{"kz_a", {"1:00"}});  // present but not loaded
    for (int32_t state : {0, -1}) {
        db.state = state;
        EXPECT_FALSE(db.findMap("kz_a")) << state;
        EXPECT_EQ(db.runCount("kz_a"), 0u);
        EXPECT_EQ(db.runAt("kz_a", 0), "");
    }
}

TEST(RecordsDatabase, RunLookups) {
    RecDataBuilder b;
    b.map("kz_a");
    b.map("kz_b");
    RecordsDatabase db = decoded(b);
    db.records[*db.findMap("kz_a")].runs = {"one", "two", "three"};
    EXPECT_EQ(db.runCount("kz_a"), 3u);
    EXPECT_EQ(db.runAt("kz_a", 0), "one");
    EXPECT_EQ(db.runAt("kz_a", 2), "three");
    EXPECT_EQ(db.runAt("kz_a", 3), "");
    EXPECT_EQ(db.runAt("kz_a", UINT32_MAX), "");
    EXPECT_EQ(db.runCount("kz_b"), 0u);
    EXPECT_EQ(db.runAt("kz_b", 0), "");
    EXPECT_EQ(db.runCount("KZ_A"), 0u);
    EXPECT_EQ(db.runAt("KZ_A", 0), "");
    EXPECT_EQ(db.runCount("kz_x"), 0u);
}

TEST(LowerAscii, OnlyAsciiCapitalsChange) {
    EXPECT_EQ(lowerAscii("KZ_Cave-@[`{AZ"), "kz_cave-@[`{az");
    EXPECT_EQ(lowerAscii("\xC0\xC9\xDE"), "\xC0\xC9\xDE");
    EXPECT_EQ(lowerAscii(std::string("A\0B", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace rw
