#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "recdata.h"
#include "records/records_database.h"
#include "records/records_image.h"

namespace rw {
namespace {

using namespace std::literals;
using test::Bytes;
using Names = std::vector<std::string>;

RecordsDatabase decoded(const Bytes& file) {
    RecordsDatabase db;
    EXPECT_TRUE(db.decodeRecords(file));
    return db;
}

Bytes withNames(const Names& nameFields) {
    RecordsImage image;
    for (const std::string& name : nameFields) image.maps.push_back({name});
    return *encodeRecordsImage(image);
}

// Names are cut at a NUL and ASCII lowered, then sorted by unsigned bytes, shorter first.
TEST(RecordsDatabase, NamesAreCutLoweredAndSorted) {
    const struct {
        Names stored, loaded;
    } rows[] = {
        {{"kz_b", "Z@[`{\xC9", "kz_a", "kz_\xE9", "kz", "KZ_Cave"}, {"kz", "kz_a", "kz_b", "kz_cave", "kz_\xE9", "z@[`{\xC9"}},
        {{"kz_a\0\0"s, "kz_b", "KZ_Cave\0junk"s, "\0hidden"s}, {"", "kz_a", "kz_b", "kz_cave"}},
        {{"kz_a", "KZ_A"}, {"kz_a", "kz_a"}},  // duplicates are kept
    };
    for (const auto& r : rows) {
        const RecordsDatabase db = decoded(withNames(r.stored));
        EXPECT_EQ(db.state, 1);
        Names names;
        for (const MapRecord& m : db.records) names.push_back(m.name);
        EXPECT_EQ(names, r.loaded);
    }
}

// Keys are not lowered by the lookup and compare up to a NUL.
TEST(RecordsDatabase, Lookups) {
    const RecordsDatabase db = decoded(withNames({"kz_d", "kz_b", "kz_f", "KZ_Cave"}));
    const struct {
        std::string key;
        std::optional<size_t> found;
    } rows[] = {
        {"kz_b", 0}, {"kz_cave", 1}, {"kz_cave\0junk"s, 1}, {"kz_f", 3},
        {"KZ_Cave", {}}, {"", {}}, {"a", {}}, {"kz_a", {}}, {"kz_b0", {}}, {"kz_c", {}},
        {"kz_e", {}}, {"kz_g", {}}, {"kz_f_", {}}, {"zz", {}}, {"\xFF", {}},
    };
    for (const auto& r : rows) EXPECT_EQ(db.findMap(r.key), r.found) << r.key;
}

// Mode 3 keeps each entry's kind (any kind byte but 1 is a position); other modes have none.
TEST(RecordsDatabase, EntriesAndKinds) {
    const RecordsDatabase db = decoded(test::recData(
        "map kz_three\nmode 3\nstart pattern 010203\nstart position -1 256 32767\n"
        "stop position 10 -20 -32768 kind 7\nstop pattern ff\n"
        "map kz_zero\nmode 0\nstart pattern 01\nstart pattern 0203\nstop pattern 04\n"));
    const MapRecord& three = db.records[*db.findMap("kz_three")];
    EXPECT_EQ(three.mode, 3);
    EXPECT_EQ(three.startEntries, (std::vector<ByteString>{{1, 2, 3}, {0xFF, 0xFF, 0, 1, 0xFF, 0x7F}}));
    EXPECT_EQ(three.startKinds, (std::vector<bool>{true, false}));
    EXPECT_EQ(three.stopEntries, (std::vector<ByteString>{{10, 0, 0xEC, 0xFF, 0, 0x80}, {0xFF}}));
    EXPECT_EQ(three.stopKinds, (std::vector<bool>{false, true}));
    const MapRecord& zero = db.records[*db.findMap("kz_zero")];
    EXPECT_EQ(zero.startEntries, (std::vector<ByteString>{{1}, {2, 3}}));
    EXPECT_EQ(zero.stopEntries, std::vector<ByteString>{{4}});
    EXPECT_TRUE(zero.startKinds.empty() && zero.stopKinds.empty());
}

// Every cut of a body either falls on a record boundary (and loads the records
// before it) or inside a record (and is rejected, dropping what was loaded).
TEST(RecordsDatabase, TruncatedBodiesAreRejected) {
    const std::string a = "map kz_a\nmode 0\nstart pattern 0102\nstop pattern 03\n";
    const std::string b = "map kz_b\nmode 3\nstart pattern 0405\nstart position 1 2 3\nstop position 4 5 6 kind 9\n";
    const Bytes full = test::recData(a + b + "map kz_c\nmode 1\nstart pattern 06\nstop pattern 070809\n");
    const std::set<size_t> boundaries = {12, test::recData(a).size(), test::recData(a + b).size(), full.size()};
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        // An exact-size copy so that AddressSanitizer sees any read past the end.
        const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        RecordsDatabase db = decoded(full);
        const bool ok = db.decodeRecords(part);
        EXPECT_EQ(ok, boundaries.count(cut) == 1) << "cut at " << cut;
        EXPECT_EQ(db.state, ok ? 1 : -1);
        EXPECT_EQ(db.findMap("kz_a").has_value(), ok && cut > 12);
    }
}

TEST(RecordsDatabase, RunLookupsOnlyOnceLoaded) {
    RecordsDatabase db = decoded(withNames({"kz_a", "kz_b"}));
    db.records[*db.findMap("kz_a")].runs = {"one", "two", "three"};
    EXPECT_EQ(db.runCount("kz_a"), 3u);
    EXPECT_EQ(db.runAt("kz_a", 2), "three");
    EXPECT_EQ(db.runAt("kz_a", 3), "");
    EXPECT_EQ(db.runCount("kz_b"), 0u);
    EXPECT_EQ(db.runCount("KZ_A"), 0u);
    for (int32_t state : {0, -1}) {  // present but not loaded
        db.state = state;
        EXPECT_FALSE(db.findMap("kz_a")) << state;
        EXPECT_EQ(db.runCount("kz_a"), 0u);
        EXPECT_EQ(db.runAt("kz_a", 0), "");
    }
}

}  // namespace
}  // namespace rw
