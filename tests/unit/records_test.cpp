// The records file: header, checksum and load statuses, the database decoded from it, the runs
// list merged into that, and the text form the records are written in.
#include <gtest/gtest.h>

#include <set>

#include "recdata.h"
#include "records/records_file.h"
#include "records/runs_list.h"
#include "temp_dir.h"

namespace rw {
namespace {

using namespace std::literals;
using test::Bytes;
using test::bytesOf;
using Strings = std::vector<std::string>;

RecordsDatabase decoded(const Bytes& file) {
    RecordsDatabase db;
    Result<RecordsImage> image = verifyRecordsImage(file);
    EXPECT_TRUE(image) << image.text();
    if (image) db.decodeRecords(std::move(*image));
    return db;
}

Bytes withNames(const Strings& nameFields) {
    RecordsImage image;
    for (const std::string& name : nameFields) image.maps.push_back({name});
    return *encodeRecordsImage(image);
}

// Names are cut at a NUL and ASCII lowered, then sorted by unsigned bytes, shorter first;
// duplicates are kept. Lookup keys are not lowered and compare up to a NUL.
TEST(RecordsDatabase, NamesAndLookups) {
    const struct {
        Strings stored, loaded;
    } rows[] = {
        {{"kz_b", "Z@[`{\xC9", "kz_a", "kz_\xE9", "kz", "KZ_Cave"},
         {"kz", "kz_a", "kz_b", "kz_cave", "kz_\xE9", "z@[`{\xC9"}},
        {{"kz_a\0\0"s, "KZ_A", "KZ_Cave\0junk"s, "\0hidden"s}, {"", "kz_a", "kz_a", "kz_cave"}},
    };
    for (const auto& r : rows) {
        Strings names;
        for (const MapRecord& m : decoded(withNames(r.stored)).records) names.push_back(m.name);
        EXPECT_EQ(names, r.loaded);
    }
    const RecordsDatabase db = decoded(withNames({"kz_d", "kz_b", "kz_f", "KZ_Cave"}));
    const struct {
        std::string key;
        std::optional<size_t> found;
    } lookups[] = {
        {"kz_b", 0}, {"kz_cave", 1}, {"kz_cave\0junk"s, 1}, {"kz_f", 3}, {"KZ_Cave", {}},
        {"", {}},    {"kz_a", {}},   {"kz_b0", {}},           {"kz_e", {}}, {"kz_g", {}},
    };
    for (const auto& r : lookups) EXPECT_EQ(db.findMap(r.key), r.found) << r.key;
}

// Mode 3 keeps each entry's kind (any kind byte but 1 is a position); other modes have none.
// Every cut of a body either falls on a record boundary or inside a record
// (and is rejected).
TEST(RecordsDatabase, EntriesKindsAndTruncatedBodies) {
    const std::string a = "map kz_a\nmode 0\nstart pattern 0102\nstart pattern 04\nstop pattern 03\n";
    const std::string b = "map kz_b\nmode 3\nstart pattern 0405\nstart position -1 256 32767\nstop position 4 5 6 kind 9\n";
    const Bytes full = test::recData(a + b + "map kz_c\nmode 1\nstart pattern 06\nstop pattern 070809\n");
    const std::vector<MapRecord> maps = decoded(full).records;
    EXPECT_EQ(maps[0].startEntries, (std::vector<ByteString>{{1, 2}, {4}}));
    EXPECT_TRUE(maps[0].startKinds.empty() && maps[0].stopKinds.empty());
    EXPECT_EQ(maps[1].startEntries, (std::vector<ByteString>{{4, 5}, {0xFF, 0xFF, 0, 1, 0xFF, 0x7F}}));
    EXPECT_EQ(maps[1].startKinds, (std::vector<bool>{true, false}));
    EXPECT_EQ(maps[1].stopKinds, std::vector<bool>{false});
    const std::set<size_t> boundaries = {12, test::recData(a).size(), test::recData(a + b).size(), full.size()};
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        // An exact-size copy so that AddressSanitizer sees any read past the end.
        const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(parseRecordsBody(part).ok(), boundaries.count(cut) == 1) << "cut at " << cut;
    }
}

TEST(RecordsFile, HeaderAndChecksum) {
    EXPECT_EQ(crc32(bytesOf("123456789")), 0xCBF43926u);
    const auto h = parseRecordsHeader(Bytes{4, 3, 2, 1, 2, 0, 0, 0, 0x78, 0x56, 0x34, 0x12});
    ASSERT_TRUE(h);
    EXPECT_EQ(std::tuple(h->revision, h->formatVersion, h->bodyCrc), std::tuple(0x01020304u, 2u, 0x12345678u));
}

// Which local files the program uses; the window's refresh and runwarden-check
// both take this answer.
TEST(LocalRecords, EachFileIsAcceptedOrRejectedWithItsKind) {
    using K = FailureKind;
    const Bytes good = test::recData("revision 57\nmap KZ_B\nmode 0\nstart pattern 01\nmap kz_a\nmode 0\n");
    auto appended = [&good](const Bytes& record) {  // under a checksum made right
        Bytes file = good;
        file.insert(file.end(), record.begin(), record.end());
        return test::resealed(file);
    };
    Bytes headerOnly5 = test::recData(""), oversized = good, oversizedCrc0 = test::recData("");
    headerOnly5[8] = 5;
    oversized.resize(kRecordsMaxFileSize + 1);
    oversizedCrc0.resize(kRecordsMaxFileSize + 1);
    const struct {
        const char* what;
        std::optional<Bytes> file;  // none: no file at all
        std::optional<K> rejected;  // none: accepted
        size_t maps;
    } rows[] = {
        {"verified", good, {}, 2},
        {"header only, checksum 0", test::recData(""), {}, 0},
        {"header only, checksum 5", headerOnly5, K::checksum, 0},
        {"name cut", appended({4, 'k', 'z', '_'}), K::malformed, 0},
        {"entry cut", appended({3, 'k', 'z', '_', 0, 1, 9}), K::malformed, 0},
        {"empty pattern", appended({2, 'k', 'z', 0, 1, 1, 1, 1, 0}), K::malformed, 0},
        // A newer body layout is never read as this one, however right its checksum.
        {"newer format, right checksum", test::recData("format 3\nmap kz_a\nmode 0\n"), K::newerFormat, 0},
        {"oversized", test::resealed(oversized), K::tooLarge, 0},
        // Stored checksum 0 is no pass for a file the program does not load.
        {"oversized, checksum 0", oversizedCrc0, K::tooLarge, 0},
        {"missing", std::nullopt, K::missing, 0},
        {"short", Bytes(11, 0), K::missing, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        test::TempDir dir;
        if (r.file) dir.write("RecData.dat", *r.file);
        const Result<RecordsImage> image = acceptRecordsFile(dir / "RecData.dat");
        EXPECT_EQ(image ? std::optional<K>() : image.kind(), r.rejected) << image.text();
        EXPECT_EQ(image ? image->maps.size() : 0, r.maps);
    }
}

// The first line is the list's title; CR belongs to the break only before LF; names
// are matched lowered; a line without a separator after the name, or starting with
// one, has no run. Nothing is looked up in or merged into an unloaded database.
TEST(RunsList, MergesRunsOnlyIntoALoadedDatabase) {
    const Bytes list = bytesOf("kz_a title\r\nkz_ab\r\nkz_a 1:00\r\nKZ_A 2:00\rx\n kz_a 3:00\nkz_a\nkz_b[pro] 4:00");
    for (RecordsState state : {RecordsState::loaded, RecordsState::notLoaded, RecordsState::rejected}) {
        SCOPED_TRACE(static_cast<int>(state));
        const bool loaded = state == RecordsState::loaded;
        RecordsDatabase db = decoded(withNames({"kz_cave", "kz_a", "kz_b"}));
        db.records[2].runs = {"kept"};
        db.state = state;
        mergeRunsList(db, list);
        EXPECT_EQ(db.records[0].runs, loaded ? (Strings{"1:00", "2:00\rx"}) : Strings{});
        EXPECT_EQ(db.records[1].runs, loaded ? Strings{"[pro] 4:00"} : Strings{});
        EXPECT_EQ(db.runCount("kz_a"), loaded ? 2u : 0u);
        EXPECT_EQ(db.runAt("kz_cave", 0), loaded ? "kept" : "");
        EXPECT_EQ(db.runAt("kz_cave", 1), "");
    }
}

StoredEntry position(int16_t x, int16_t y, int16_t z, uint8_t kind = 0) {
    StoredEntry e{kind, {}};
    for (int16_t v : {x, y, z}) e.bytes.insert(e.bytes.end(), {uint8_t(v & 0xFF), uint8_t(uint16_t(v) >> 8)});
    return e;
}

// Text from a file and back to the very same bytes.
TEST(RecordsText, RoundTripsEveryKindOfField) {
    RecordsImage image{0xFFFFFFFF, 7, {}};
    image.maps = {
        {"KZ_A", 0, {{1, {0x0A, 0x1B}}}, {{1, {0xFF, 0x00, 0x7F}}}},  // in capitals and out of order: stored as is
        {"x\0after"s, 3, {{1, {1, 2, 3}}, position(-32768, 0, 32767)}, {position(1, -2, 3, 2), position(4, 5, 6, 255)}},
        {"", 0, {}, {}},
        {"with blank \"quoted\" #hash \\back\x01\x1F\x7F\x80\xE9\xFF", 255, {}, {}},
        {std::string(255, 'n'), 1, {{1, Bytes(255, 0xAB)}}, {}},
        {"many", 3, {}, {}},
        {"KZ_A", 1, {}, {}},  // a duplicate
    };
    for (int i = 0; i < 255; ++i) {
        image.maps[5].startEntries.push_back(position(int16_t(i), 0, 0, uint8_t(i == 1 ? 0 : i)));
        image.maps[5].stopEntries.push_back({1, {uint8_t(i)}});
    }
    const Bytes file = *encodeRecordsImage(image);
    const std::string text = printRecordsText(*verifyRecordsImage(file, UINT32_MAX));
    const Result<RecordsText> compiled = parseRecordsText(text, "dump");
    ASSERT_TRUE(compiled) << compiled.text() << "\n" << text;
    EXPECT_EQ(*encodeRecordsImage(compiled->image), file) << text;
}

TEST(RecordsText, CompilesTheDocumentedExample) {
    const Result<RecordsText> parsed = parseRecordsText(
        "\xEF\xBB\xBF# the records of the week\r\nrevision 57\r\n\r\n"
        "map kz_cave            # a comment after a line\r\n"
        "  mode 1\r\n  start pattern 0a 1B 2c\r\n\tstop pattern 0a1b2d\r\n"
        "map \"KZ Caves\\x00\"\n  mode 3\n  start pattern 01 02 03\n"
        "  stop position 1100 -512 64 kind 2\n  start position 1024 -512 64\n",  // start and stop may interleave
        "example");
    ASSERT_TRUE(parsed) << parsed.text();
    const Bytes expected = test::resealed(test::bytesOf(
        "\x39\0\0\0\x02\0\0\0\0\0\0\0"
        "\x07kz_cave\x01\x01\x03\x0a\x1b\x2c\x01\x03\x0a\x1b\x2d"
        "\x09KZ Caves\0\x03\x02\x01\x03\x01\x02\x03\0\0\x04\0\xfe\x40\0\x01\x02\x4c\x04\0\xfe\x40\0"sv));
    EXPECT_EQ(*encodeRecordsImage(parsed->image), expected);
}

// Errors name their line; a row for each kind of rule.
TEST(RecordsText, ErrorsNameTheLine) {
    const struct {
        std::string text;
        size_t line;
        const char* message;  // a part of the message
    } cases[] = {
        {"revision 1\n\nrevison 2\n", 3, "unknown keyword 'revison'"},
        {"map a\nmode 1\nstart position 1 2 3\n", 3, "positions need mode 3"},
        {"map a\nmode 3\nstart position 1 2 x\n", 3, "coordinate 'x'"},
        {"map a\nmode 0\nstart 01\n", 3, "'pattern HEX...' or 'position X Y Z'"},
        {"map a\n\nmap b\nmode 0\n", 1, "map a has no mode line"},
        {"map \"kz\n", 1, "missing closing quote"},
        {"revision -1\n", 1, "from 0 to 4294967295"},
        {"map a\nmode 0\nstart pattern " + std::string(512, 'a') + "\n", 3, "256 bytes"},
    };
    // An escape cut by the end of the text reads nothing past it.
    const std::string_view cutEscape = std::string_view("map \"kz\\x10").substr(0, 10);
    EXPECT_NE(parseRecordsText(cutEscape, "t").text().find("two hex digits"), std::string::npos);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const Result<RecordsText> parsed = parseRecordsText(c.text, "t");
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.text().rfind("t:" + std::to_string(c.line) + ": error: ", 0), 0u) << parsed.text();
        EXPECT_NE(parsed.text().find(c.message), std::string::npos) << parsed.text();
    }
}

}  // namespace
}  // namespace rw
