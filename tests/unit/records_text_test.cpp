#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recdata_builder.h"
#include "records/crc32.h"
#include "records/records_database.h"
#include "records/records_image.h"
#include "records/records_text.h"

namespace rw {
namespace {

using test::Bytes;
using test::RecDataBuilder;

// Text from a file and back to the very same bytes.
void expectRoundTrip(const Bytes& file) {
    const Result<RecordsImage> parsed = verifyRecordsImage(file, UINT32_MAX);
    ASSERT_TRUE(parsed) << parsed.reason();
    const std::string text = printRecordsText(*parsed);
    const RecordsTextParse compiled = parseRecordsText(text);
    ASSERT_TRUE(compiled.ok) << "line " << compiled.error.line << ": " << compiled.error.message << "\n" << text;
    EXPECT_TRUE(compiled.hasRevision);
    const auto bytes = encodeRecordsImage(compiled.image);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, file) << text;
    EXPECT_EQ(printRecordsText(compiled.image), text);
}

TEST(RecordsText, RoundTripsEveryKindOfField) {
    RecDataBuilder b;
    b.revision(0xFFFFFFFF).formatVersion(7);
    b.map("kz_b", 1).start({0x0A, 0x1B}).stop({0xFF, 0x00, 0x7F});
    b.map("KZ_A", 0).start({1});  // out of order and in capitals: stored as is
    b.map(std::string("kz_a\0\0", 6), 2);
    b.map(std::string("x\0after", 7), 3).start({1, 2, 3}).startAt(-32768, 0, 32767).stopAt(1, -2, 3, 2).stopAt(
        4, 5, 6, 255);
    b.map("", 0);
    b.map("with blank \"quoted\" #hash \\back", 4);
    b.map("\x01\x1F\x7F\x80\xE9\xFF", 255);
    b.map(std::string(255, 'n'), 1).start(Bytes(255, 0xAB));
    auto& many = b.map("many", 3);
    for (int i = 0; i < 255; ++i) many.startAt(static_cast<int16_t>(i), 0, 0, static_cast<uint8_t>(i == 1 ? 0 : i));
    for (int i = 0; i < 255; ++i) many.stop({static_cast<uint8_t>(i)});
    b.map("kz_b", 1);  // a duplicate
    expectRoundTrip(b.bytes());
}

TEST(RecordsText, RoundTripsHeaderOnlyFiles) {
    RecDataBuilder empty;
    empty.revision(0).formatVersion(0);
    expectRoundTrip(empty.bytes());
    RecDataBuilder plain;
    expectRoundTrip(plain.bytes());
}

// Random damage to a valid file, with the checksum fixed up: whatever still
// parses must decode into the database and dump and compile to the same bytes.
TEST(RecordsText, RoundTripsDamagedFilesThatStillParse) {
    RecDataBuilder b;
    b.map("kz_a", 0).start({1, 2}).stop({3});
    b.map("kz_b", 3).start({4}).startAt(1, 2, 3).stopAt(4, 5, 6, 9).stop({7, 8});
    b.map("KZ_C", 1).start({9, 9, 9});
    const Bytes base = b.bytes();
    uint32_t seed = 2024;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    size_t parsedCount = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes file = base;
        for (uint32_t k = 0, edits = 1 + next(3); k < edits; ++k) {
            const size_t at = 12 + next(static_cast<uint32_t>(file.size() - 11));
            switch (next(3)) {
                case 0:
                    if (at < file.size()) file[at] = static_cast<uint8_t>(next(256));
                    break;
                case 1:
                    if (at < file.size()) file.erase(file.begin() + static_cast<std::ptrdiff_t>(at));
                    break;
                default:
                    file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), static_cast<uint8_t>(next(256)));
            }
        }
        const uint32_t crc = crc32(std::span<const uint8_t>(file).subspan(12));
        for (int i = 0; i < 4; ++i) file[8 + i] = static_cast<uint8_t>(crc >> (8 * i));
        RecordsDatabase db;
        const bool decoded = db.decodeRecords(file);
        const Result<RecordsImage> parsed = verifyRecordsImage(file);
        ASSERT_EQ(decoded, parsed.ok()) << "round " << round;
        if (!parsed) continue;
        ++parsedCount;
        EXPECT_EQ(db.records.size(), parsed->maps.size());
        expectRoundTrip(file);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(parsedCount, 100u);  // the damage leaves enough valid files to mean something
}

TEST(RecordsText, CompilesTheDocumentedExample) {
    const char* text =
        "\xEF\xBB\xBF# the records of the week\r\n"
        "revision 57\r\n"
        "\r\n"
        "map kz_cave            # a comment after a line\r\n"
        "  mode 1\r\n"
        "  start pattern 0a 1B 2c\r\n"
        "\tstop pattern 0a1b2d\r\n"
        "map \"KZ Caves\\x00\"\n"
        "  mode 3\n"
        "  start pattern 01 02 03\n"
        "  stop position 1100 -512 64 kind 2\n"
        "  start position 1024 -512 64\n";  // start and stop lines may interleave
    const RecordsTextParse parsed = parseRecordsText(text);
    ASSERT_TRUE(parsed.ok) << parsed.error.line << ": " << parsed.error.message;
    EXPECT_TRUE(parsed.warnings.empty());
    RecDataBuilder b;
    b.revision(57).formatVersion(2);
    b.map("kz_cave", 1).start({0x0A, 0x1B, 0x2C}).stop({0x0A, 0x1B, 0x2D});
    b.map(std::string("KZ Caves\0", 9), 3).start({1, 2, 3}).startAt(1024, -512, 64).stopAt(1100, -512, 64, 2);
    EXPECT_EQ(encodeRecordsImage(parsed.image), b.bytes());
}

TEST(RecordsText, RevisionMayComeFromElsewhere) {
    const RecordsTextParse parsed = parseRecordsText("map kz_a\nmode 0\n");
    ASSERT_TRUE(parsed.ok);
    EXPECT_FALSE(parsed.hasRevision);
    EXPECT_EQ(parsed.image.formatVersion, 2u);
}

struct BadText {
    const char* text;
    size_t line;
    const char* message;  // a part of the message
};

TEST(RecordsText, ErrorsNameTheLine) {
    const std::string long256 = "map " + std::string(256, 'n') + "\n";
    const std::string pattern256 = "map a\nmode 0\nstart pattern " + std::string(512, 'a') + "\n";
    const std::vector<BadText> cases = {
        {"revision 1\n\nrevison 2\n", 3, "unknown keyword 'revison'"},
        {"map a\nmode 0\nstart pattern 0a0\n", 3, "odd number of hex digits"},
        {"map a\nmode 0\nstart pattern 0g\n", 3, "'0g' is not hex"},
        {"map a\nmode 0\nstop pattern\n", 3, "at least one byte"},
        {pattern256.c_str(), 3, "256 bytes"},
        {"map a\nmode 1\nstart position 1 2 3\n", 3, "positions need mode 3"},
        {"map a\nmode 3\nstart position 1 2 32768\n", 3, "'32768'"},
        {"map a\nmode 3\nstart position 1 2\n", 3, "position X Y Z"},
        {"map a\nmode 3\nstop position 1 2 3 kind 1\n", 3, "other than 1"},
        {"map a\nmode 300\n", 2, "from 0 to 255"},
        {"map a\nstart pattern 01\nmode 0\n", 2, "mode line must come before"},
        {"map a\nmode 0\nmode 1\n", 3, "second mode line"},
        {"map a\nmode 0\nmap b\n# no mode\n", 3, "map b has no mode line"},
        {"map a\n\nmap b\nmode 0\n", 1, "map a has no mode line"},
        {"map a\nmode 0\nrevision 3\n", 3, "before the first map"},
        {"revision 1\nrevision 1\n", 2, "second revision line (the first is line 1)"},
        {"revision -1\n", 1, "from 0 to 4294967295"},
        {"map \"kz\n", 1, "missing closing quote"},
        {"map \"kz\\q\"\n", 1, "unknown escape \\q"},
        {"map \"kz\\x1\"\n", 1, "two hex digits"},
        {"map \"a\tb\"\n", 1, "control byte 0x09"},
        {"map k\xE9\n", 1, "byte 0xe9 outside quotes"},
        {"map kz\"a\n", 1, "unexpected quote"},
        {long256.c_str(), 1, "256 bytes"},
        {"map a b\n", 1, "one name"},
        {"mode 1\n", 1, "outside a map block"},
        {"map a\nmode 0\nstart 01\n", 3, "'pattern HEX...' or 'position X Y Z'"},
        {"\"map\" a\n", 1, "expected a keyword"},
    };
    for (const BadText& c : cases) {
        const RecordsTextParse parsed = parseRecordsText(c.text);
        EXPECT_FALSE(parsed.ok) << c.text;
        EXPECT_EQ(parsed.error.line, c.line) << c.text;
        EXPECT_NE(parsed.error.message.find(c.message), std::string::npos)
            << c.text << "\ngot: " << parsed.error.message;
        EXPECT_TRUE(parsed.image.maps.empty());
    }
}

TEST(RecordsText, AtMost255EntriesPerList) {
    std::string text = "map a\nmode 0\n";
    for (int i = 0; i < 256; ++i) text += "stop pattern 01\n";
    const RecordsTextParse parsed = parseRecordsText(text);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error.line, 2u + 256u);
    EXPECT_NE(parsed.error.message.find("more than 255 stop entries"), std::string::npos);
}

TEST(RecordsText, WarnsAboutLegalSurprises) {
    const RecordsTextParse parsed =
        parseRecordsText("map kz_a\nmode 0\nmap \"\"\nmode 0\nmap \"KZ_A\\x00x\"\nmode 5\n");
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.warnings.size(), 3u);
    EXPECT_EQ(parsed.warnings[0].line, 3u);
    EXPECT_NE(parsed.warnings[0].message.find("empty"), std::string::npos);
    EXPECT_EQ(parsed.warnings[1].line, 5u);
    EXPECT_NE(parsed.warnings[1].message.find("also defined at line 1"), std::string::npos);
    EXPECT_EQ(parsed.warnings[2].line, 6u);
    EXPECT_NE(parsed.warnings[2].message.find("mode 5"), std::string::npos);
}

TEST(RecordsImage, EncoderRefusesFieldsThatDoNotFit) {
    auto withMap = [](StoredMap m) {
        RecordsImage image;
        image.maps.push_back(std::move(m));
        return encodeRecordsImage(image);
    };
    EXPECT_FALSE(withMap({std::string(256, 'a')}));
    EXPECT_FALSE(withMap({"a", 0, {StoredEntry{1, {}}}}));
    EXPECT_FALSE(withMap({"a", 0, {StoredEntry{1, Bytes(256, 1)}}}));
    EXPECT_FALSE(withMap({"a", 3, {StoredEntry{0, Bytes(5, 1)}}}));
    EXPECT_FALSE(withMap({"a", 0, std::vector<StoredEntry>(256, StoredEntry{1, {1}})}));
    EXPECT_TRUE(withMap({"a", 0, std::vector<StoredEntry>(255, StoredEntry{1, {1}})}));
}

TEST(RecordsImage, VerifiesAsTheProgramLoadsAndSaysWhy) {
    RecDataBuilder good;
    good.revision(3).map("kz_a").start({1});
    RecDataBuilder big;
    big.raw(Bytes(kRecordsMaxFileSize, 0));
    RecDataBuilder future = good;
    future.formatVersion(3);
    RecDataBuilder wrong;
    wrong.storedCrc(0x12345678);
    RecDataBuilder cut;
    cut.map("kz_a").start({1});
    cut.raw({3, 'k', 'z', '_', 0, 1, 9});
    const struct {
        Bytes file;
        std::string reason;  // empty: loads
    } cases[] = {
        {good.bytes(), ""},
        {RecDataBuilder().bytes(), ""},  // header only, checksum 0
        {Bytes(11, 0), "shorter than its 12-byte header"},
        {big.bytes(), "larger than 1,048,576 bytes, which the program does not load"},
        {future.bytes(), "format version 3; the program reads up to 2"},
        {wrong.bytes(), "checksum mismatch: the header says 12345678, the body gives 00000000"},
        {cut.bytes(), "the body does not decode at offset 29: map record 2: start entry 1 runs past the end"},
    };
    for (const auto& c : cases) {
        const Result<RecordsImage> image = verifyRecordsImage(c.file);
        EXPECT_EQ(image.reason(), c.reason);
        EXPECT_EQ(image.ok(), c.reason.empty()) << c.reason;
    }
    EXPECT_EQ(verifyRecordsImage(good.bytes())->revision, 3u);
}

}  // namespace
}  // namespace rw
