// The records file: header, checksum and load statuses, the database decoded from it, and the runs
// list merged into that.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "recdata.h"
#include "records/crc32.h"
#include "records/records_database.h"
#include "records/records_file.h"
#include "records/records_image.h"
#include "records/runs_list.h"
#include "temp_dir.h"

namespace rw {
namespace {

using namespace std::literals;
using test::Bytes;
using test::bytesOf;
using Runs = std::vector<std::string>;
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
        {{"kz_b", "Z@[`{\xC9", "kz_a", "kz_\xE9", "kz", "KZ_Cave"},
         {"kz", "kz_a", "kz_b", "kz_cave", "kz_\xE9", "z@[`{\xC9"}},
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

TEST(RecordsFile, HeaderChecksumAndSizeLimits) {
    EXPECT_EQ(crc32(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(std::vector<uint8_t>(32, 0x00)), 0x190A55ADu);
    const Bytes file = test::recData("revision 16909060\nmap kz_a\nmode 0\nstart pattern 010203\n");
    const auto h = parseRecordsHeader(file);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->revision, 0x01020304u);
    EXPECT_EQ(h->formatVersion, 2u);
    EXPECT_EQ(h->bodyCrc, crc32(std::span(file).subspan(12)));
    EXPECT_EQ(recordsBodyCrc(file), h->bodyCrc);
    EXPECT_EQ(recordsBodyCrc(Bytes(12, 0xAB)), 0u);  // no body at all

    test::TempDir dir;
    EXPECT_FALSE(readLocalRecordsHeader(dir.path()));
    EXPECT_EQ(loadRecordsFile(dir.write("12.dat", Bytes(12, 1)))->size(), 12u);
    EXPECT_EQ(loadRecordsFile(dir.write("max.dat", Bytes(kRecordsMaxFileSize, 2)))->size(), kRecordsMaxFileSize);
    EXPECT_FALSE(loadRecordsFile(dir.write("over.dat", Bytes(kRecordsMaxFileSize + 1, 3))));
}

// What the program does with each file (loadLocalRecords), and why it refuses
// one in words for the person publishing it (verifyRecordsImage).
TEST(LocalRecords, EachFileGetsItsStatusAndReason) {
    using S = LocalRecordsStatus;
    const Bytes good = test::recData("revision 57\nmap KZ_B\nmode 0\nstart pattern 01\nmap kz_a\nmode 0\n");
    auto appended = [&good](const Bytes& record) {  // under a checksum made right
        Bytes file = good;
        file.insert(file.end(), record.begin(), record.end());
        return test::resealed(file);
    };
    Bytes headerOnly5 = test::recData(""), wrong = good, oversized = good;
    headerOnly5[8] = 5;
    wrong[8] ^= 1;
    oversized.resize(kRecordsMaxFileSize + 1);
    const struct {
        const char* what;
        std::optional<Bytes> file;  // none: no file at all
        S status;
        int32_t state;
        size_t maps;
        std::string reason;  // a part of it; empty: the file verifies
    } rows[] = {
        {"verified", good, S::Loaded, 1, 2, ""},
        {"header only, checksum 0", test::recData(""), S::Loaded, 1, 0, ""},
        {"header only, checksum 5", headerOnly5, S::ChecksumMismatch, -1, 0,
         "the header says 00000005, the body gives 00000000"},
        {"wrong checksum", wrong, S::ChecksumMismatch, -1, 0, "checksum mismatch"},
        {"name cut", appended({4, 'k', 'z', '_'}), S::Malformed, -1, 0, "offset 30: map record 3: name runs past the end"},
        {"entry cut", appended({3, 'k', 'z', '_', 0, 1, 9}), S::Malformed, -1, 0,
         "offset 37: map record 3: start entry 1 runs past the end"},
        {"empty pattern", appended({2, 'k', 'z', 0, 1, 1, 1, 1, 0}), S::Malformed, -1, 0, "stop entry 1 has length 0"},
        {"empty pattern, mode 3", appended({2, 'k', 'z', 3, 1, 1, 0}), S::Malformed, -1, 0, "start entry 1 has length 0"},
        {"newer format", test::recData("format 3\n"), S::Malformed, -1, 0, "format version 3; the program reads up to 2"},
        {"oversized", test::resealed(oversized), S::TooLarge, -1, 0, "larger than 1,048,576 bytes"},
        {"missing", std::nullopt, S::Missing, 0, 0, ""},  // the database is left alone
        {"short", Bytes(11, 0), S::Missing, 0, 0, "shorter than its 12-byte header"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        test::TempDir dir;
        if (r.file) dir.write("RecData.dat", *r.file);
        RecordsDatabase db;
        EXPECT_EQ(loadLocalRecords(db, dir / "RecData.dat"), r.status);
        EXPECT_EQ(db.state, r.state);
        EXPECT_EQ(db.records.size(), r.maps);
        EXPECT_EQ(db.findMap("kz_a").has_value(), r.state == 1 && r.maps > 0);
        // The computed checksum, as the refresh compares, also for a mismatch.
        if (r.status == S::Loaded || r.status == S::ChecksumMismatch) {
            EXPECT_EQ(db.bodyCrc, recordsBodyCrc(*r.file));
            EXPECT_EQ(db.revision, parseRecordsHeader(*r.file)->revision);
        }
        if (!r.file) continue;
        const Result<RecordsImage> image = verifyRecordsImage(*r.file);
        EXPECT_EQ(image.ok(), r.reason.empty());
        EXPECT_NE(image.reason().find(r.reason), std::string::npos) << image.reason();
    }
}

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
        {"h\nkz_cave[pro] 1:00.00 x\nkz_cave  2:00\nkz_cave \nkz_cave[\n",
         {{"kz_cave", {"[pro] 1:00.00 x", " 2:00", "", "["}}}},
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
