#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recdata.h"
#include "records/records_image.h"
#include "records/records_text.h"

namespace rw {
namespace {

using namespace std::literals;
using test::Bytes;

// Text from a file and back to the very same bytes.
void expectRoundTrip(const Bytes& file) {
    const Result<RecordsImage> parsed = verifyRecordsImage(file, UINT32_MAX);
    ASSERT_TRUE(parsed) << parsed.reason();
    const std::string text = printRecordsText(*parsed);
    const RecordsTextParse compiled = parseRecordsText(text);
    ASSERT_TRUE(compiled.ok) << "line " << compiled.error.line << ": " << compiled.error.message << "\n" << text;
    EXPECT_TRUE(compiled.hasRevision);
    EXPECT_EQ(encodeRecordsImage(compiled.image), file) << text;
    EXPECT_EQ(printRecordsText(compiled.image), text);
}

StoredEntry position(int16_t x, int16_t y, int16_t z, uint8_t kind = 0) {
    StoredEntry e{kind, {}};
    for (int16_t v : {x, y, z}) e.bytes.insert(e.bytes.end(), {uint8_t(v & 0xFF), uint8_t(uint16_t(v) >> 8)});
    return e;
}

TEST(RecordsText, RoundTripsEveryKindOfField) {
    RecordsImage image{0xFFFFFFFF, 7, {}};
    image.maps = {
        {"kz_b", 1, {{1, {0x0A, 0x1B}}}, {{1, {0xFF, 0x00, 0x7F}}}},
        {"KZ_A", 0, {{1, {1}}}, {}},  // out of order and in capitals: stored as is
        {"kz_a\0\0"s, 2, {}, {}},
        {"x\0after"s, 3, {{1, {1, 2, 3}}, position(-32768, 0, 32767)}, {position(1, -2, 3, 2), position(4, 5, 6, 255)}},
        {"", 0, {}, {}},
        {"with blank \"quoted\" #hash \\back", 4, {}, {}},
        {"\x01\x1F\x7F\x80\xE9\xFF", 255, {}, {}},
        {std::string(255, 'n'), 1, {{1, Bytes(255, 0xAB)}}, {}},
        {"many", 3, {}, {}},
        {"kz_b", 1, {}, {}},  // a duplicate
    };
    for (int i = 0; i < 255; ++i) {
        image.maps[8].startEntries.push_back(position(int16_t(i), 0, 0, uint8_t(i == 1 ? 0 : i)));
        image.maps[8].stopEntries.push_back({1, {uint8_t(i)}});
    }
    expectRoundTrip(*encodeRecordsImage(image));
    expectRoundTrip(*encodeRecordsImage(RecordsImage{0, 0, {}}));
}

TEST(RecordsText, CompilesTheDocumentedExample) {
    const RecordsTextParse parsed = parseRecordsText(
        "\xEF\xBB\xBF# the records of the week\r\nrevision 57\r\n\r\n"
        "map kz_cave            # a comment after a line\r\n"
        "  mode 1\r\n  start pattern 0a 1B 2c\r\n\tstop pattern 0a1b2d\r\n"
        "map \"KZ Caves\\x00\"\n  mode 3\n  start pattern 01 02 03\n"
        "  stop position 1100 -512 64 kind 2\n  start position 1024 -512 64\n");  // start and stop may interleave
    ASSERT_TRUE(parsed.ok) << parsed.error.line << ": " << parsed.error.message;
    EXPECT_TRUE(parsed.warnings.empty());
    const Bytes expected = test::resealed(test::bytesOf(
        "\x39\0\0\0\x02\0\0\0\0\0\0\0"
        "\x07kz_cave\x01\x01\x03\x0a\x1b\x2c\x01\x03\x0a\x1b\x2d"
        "\x09KZ Caves\0\x03\x02\x01\x03\x01\x02\x03\0\0\x04\0\xfe\x40\0\x01\x02\x4c\x04\0\xfe\x40\0"sv));
    EXPECT_EQ(encodeRecordsImage(parsed.image), expected);

    const RecordsTextParse bare = parseRecordsText("map kz_a\nmode 0\n");
    ASSERT_TRUE(bare.ok);
    EXPECT_FALSE(bare.hasRevision);  // the revision may come from elsewhere
    EXPECT_EQ(bare.image.formatVersion, 2u);
}

TEST(RecordsText, ErrorsNameTheLine) {
    std::string manyStops = "map a\nmode 0\n";
    for (int i = 0; i < 256; ++i) manyStops += "stop pattern 01\n";
    const std::string long256 = "map " + std::string(256, 'n') + "\n";
    const std::string pattern256 = "map a\nmode 0\nstart pattern " + std::string(512, 'a') + "\n";
    const struct {
        std::string text;
        size_t line;
        const char* message;  // a part of the message
    } cases[] = {
        {"revision 1\n\nrevison 2\n", 3, "unknown keyword 'revison'"},
        {"map a\nmode 0\nstart pattern 0a0\n", 3, "odd number of hex digits"},
        {"map a\nmode 0\nstart pattern 0g\n", 3, "'0g' is not hex"},
        {"map a\nmode 0\nstop pattern\n", 3, "at least one byte"},
        {pattern256, 3, "256 bytes"},
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
        {long256, 1, "256 bytes"},
        {"map a b\n", 1, "one name"},
        {"mode 1\n", 1, "outside a map block"},
        {"map a\nmode 0\nstart 01\n", 3, "'pattern HEX...' or 'position X Y Z'"},
        {"\"map\" a\n", 1, "expected a keyword"},
        {manyStops, 2 + 256, "more than 255 stop entries"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const RecordsTextParse parsed = parseRecordsText(c.text);
        EXPECT_FALSE(parsed.ok);
        EXPECT_EQ(parsed.error.line, c.line);
        EXPECT_NE(parsed.error.message.find(c.message), std::string::npos) << parsed.error.message;
        EXPECT_TRUE(parsed.image.maps.empty());
    }
}

TEST(RecordsText, WarnsAboutLegalSurprises) {
    const RecordsTextParse parsed =
        parseRecordsText("map kz_a\nmode 0\nmap \"\"\nmode 0\nmap \"KZ_A\\x00x\"\nmode 5\n");
    ASSERT_TRUE(parsed.ok);
    const std::vector<std::pair<size_t, const char*>> expected = {
        {3, "empty"}, {5, "also defined at line 1"}, {6, "mode 5"}};
    ASSERT_EQ(parsed.warnings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(parsed.warnings[i].line, expected[i].first);
        EXPECT_NE(parsed.warnings[i].message.find(expected[i].second), std::string::npos) << parsed.warnings[i].message;
    }
}

TEST(RecordsImage, EncoderRefusesFieldsThatDoNotFit) {
    auto withMap = [](StoredMap m) { return encodeRecordsImage(RecordsImage{1, 2, {std::move(m)}}); };
    EXPECT_FALSE(withMap({std::string(256, 'a')}));
    EXPECT_FALSE(withMap({"a", 0, {StoredEntry{1, {}}}}));
    EXPECT_FALSE(withMap({"a", 0, {StoredEntry{1, Bytes(256, 1)}}}));
    EXPECT_FALSE(withMap({"a", 3, {StoredEntry{0, Bytes(5, 1)}}}));
    EXPECT_FALSE(withMap({"a", 0, std::vector<StoredEntry>(256, StoredEntry{1, {1}})}));
    EXPECT_TRUE(withMap({"a", 0, std::vector<StoredEntry>(255, StoredEntry{1, {1}})}));
}

}  // namespace
}  // namespace rw
