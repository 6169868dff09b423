#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/panel_layout.h"

namespace rw::app {
namespace {

using Bands = std::vector<std::pair<int32_t, int32_t>>;
using Lines = std::vector<int32_t>;

template <class Op>
std::vector<Op> opsOf(const PanelLayout& l) {
    std::vector<Op> out;
    for (const PanelOp& op : l.ops)
        if (auto* o = std::get_if<Op>(&op)) out.push_back(*o);
    return out;
}

std::optional<TextOp> textAt(const PanelLayout& l, int32_t x, int32_t y) {
    for (const TextOp& t : opsOf<TextOp>(l))
        if (t.x == x && t.y == y) return t;
    return std::nullopt;
}

void setMapKey(CheckResult& r, const std::string& key) {
    r.mapKey.fill('\0');
    std::copy(key.begin(), key.end(), r.mapKey.begin());
}

void fillResult(CheckResult& r) {
    r.demoName.assign(L"run");
    r.playerName.assign(L"climber");
    r.mapName.assign(L"kz_cave");
    setMapKey(r, "kz_cave");
    r.runTimeText.assign(L"01:23.45");
    r.averageFps = 99.5f;
    r.averageFpsText.assign(L"99.50");
    r.messageText.assign(L"File is not a HLDEMO!");
}

class PanelLayoutTest : public ::testing::Test {
protected:
    PanelLayoutTest() {
        fillResult(result_);
        runs_["kz_cave"] = {"kz_cave 01:02.03 holder"};
    }

    PanelLayout layout(int32_t status, RecordsListState before = {}, bool checkRunning = false, int32_t dpi = 96,
                       const CheckResult* result = nullptr) const {
        const WorldRecordLookup lookup{
            [this](std::string_view key) {
                auto it = runs_.find(key);
                return it == runs_.end() ? 0u : static_cast<uint32_t>(it->second.size());
            },
            [this](std::string_view key, uint32_t i) { return runs_.find(key)->second.at(i); }};
        // Every character is 7 pixels wide.
        const TextMeasure measure{[](std::wstring_view t, PanelFont) { return static_cast<int32_t>(7 * t.size()); },
                                  [](std::string_view t) { return static_cast<int32_t>(7 * t.size()); }};
        return layoutPanel(status, result ? *result : result_, lookup, measure, before, checkRunning, dpi);
    }

    CheckResult result_;
    std::map<std::string, std::vector<std::string>, std::less<>> runs_;
};

using Tweak = void (*)(CheckResult&);
void settings(CheckResult& r, std::initializer_list<size_t> lines) {
    for (size_t i : lines) r.settingsLines[i].assign(L"setting " + std::to_wstring(i));
}
const Bands kResult = {{41, 67}, {109, 49}, {159, 43}, {202, 24}};
const Lines kResultLines = {362, 40, 108, 158, 226};
const std::wstring kNone = L"(none)";

// Each state's frame (bands and fade lines; not checked where lines is empty) and the text at a place.
// Room to x 275: 225 pixels at x 50 hold 29 characters and the dots, 178 at x 97 hold 22; a message
// has 270 pixels, 38 characters, and breaks at the last blank that fits.
TEST_F(PanelLayoutTest, EachStateDrawsItsFrameAndTexts) {
    const struct {
        const char* name;
        Tweak tweak;
        int32_t status;
        Bands bands;
        Lines lines;
        int32_t x, y;
        std::wstring text;
        int32_t dpi = 96;
    } rows[] = {
        {"idle: only the footer", nullptr, 0, {}, {362, 40}, 275, 329, L"Runwarden"},
        {"progress", nullptr, 1, {{41, 67}}, {362, 40, 108}, 130, 200, L"1%"},
        {"running: the map", nullptr, 42, {{41, 67}}, {362, 40, 108}, 50, 84, L"kz_cave"},
        {"no results yet", nullptr, 99, {{41, 67}}, {362, 40, 108}, 10, 116, kNone},
        {"update check", nullptr, 101, {{41, 31}}, {362, 40, 72}, 140, 48, L"Checking for updates ..."},
        {"the message as it stands", nullptr, 102, {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!"},
        {"failure: old results hidden", nullptr, -2, {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!"},
        {"finished: the mark", nullptr, 100, kResult, kResultLines, 97, 202, L"V"},
        {"no SteamID", nullptr, 100, kResult, kResultLines, 97, 184, L"----"},
        {"an empty value draws nothing", [](CheckResult& r) { r.playerName.clear(); }, 42, {}, {}, 50, 66, kNone},
        {"its label stays", [](CheckResult& r) { r.playerName.clear(); }, 42, {}, {}, 10, 66, L"Name: "},
        {"32 characters fit", [](CheckResult& r) { r.demoName.assign(std::wstring(32, L'n')); }, 100, {}, {}, 50, 48,
         std::wstring(32, L'n')},
        {"long demo name", [](CheckResult& r) { r.demoName.assign(std::wstring(40, L'n')); }, 100, {}, {}, 50, 48,
         std::wstring(29, L'n') + L"..."},
        {"blanks go before the dots", [](CheckResult& r) { r.playerName.assign(L"a very long player name made of it"); },
         100, {}, {}, 50, 66, L"a very long player name made..."},
        {"long run time", [](CheckResult& r) { r.runTimeText.assign(std::wstring(40, L'n')); }, 100, {}, {}, 97, 116,
         std::wstring(22, L'n') + L"..."},
        {"one settings line", [](CheckResult& r) { r.settingsLines[2].assign(L"sv_airacceleration is not correct"); },
         100, {{41, 67}, {109, 49}, {159, 43}, {202, 18}, {220, 6}}, {362, 40, 108, 158, 226}, 97, 202,
         L"sv_airacceleration is..."},
        {"settings 18 apart", [](CheckResult& r) { settings(r, {1, 4, 7}); }, 100,
         {{41, 67}, {109, 49}, {159, 43}, {202, 18}, {220, 18}, {238, 18}, {256, 6}}, {362, 40, 108, 158, 262}, 97, 238,
         L"setting 7"},
        {"eight close up above the footer", [](CheckResult& r) { settings(r, {0, 1, 2, 3, 4, 5, 6, 7}); }, 100, {}, {},
         97, 300, L"setting 7"},
        {"seven are 17 apart", [](CheckResult& r) { settings(r, {1, 2, 3, 4, 5, 6, 7}); }, 100, {}, {}, 97, 304,
         L"setting 7"},
        {"wrap at a blank", [](CheckResult& r) { r.messageText.assign(L"Unable to connect to the update server at it"); },
         -1, {{41, 49}}, {362, 40, 90}, 140, 48, L"Unable to connect to the update server"},
        {"second line", [](CheckResult& r) { r.messageText.assign(L"Unable to connect to the update server at it"); },
         -1, {{41, 49}}, {362, 40, 90}, 140, 66, L"at it"},
        {"no blank: cut", [](CheckResult& r) { r.messageText.assign(std::wstring(50, L'x')); }, -1, {}, {}, 140, 66,
         std::wstring(12, L'x')},
        {"a long second line ends in dots",
         [](CheckResult& r) { r.messageText.assign(L"Opening C:\\" + std::wstring(80, L'd') + L" failed"); }, -1, {}, {},
         140, 66, L"C:\\" + std::wstring(32, L'd') + L"..."},
        {"144 DPI idle", nullptr, 0, {}, {543, 60}, 413, 494, L"Runwarden", 144},
        {"144 DPI: bands meet the scaled lines", nullptr, 100, {{62, 100}, {164, 73}, {239, 64}, {303, 36}},
         {543, 60, 162, 237, 339}, 146, 303, L"V", 144},
        {"144 DPI: texts keep their room", [](CheckResult& r) { r.demoName.assign(std::wstring(60, L'n')); }, 100, {}, {},
         75, 72, std::wstring(45, L'n') + L"...", 144},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CheckResult result;
        fillResult(result);
        if (r.tweak) r.tweak(result);
        const PanelLayout l = layout(r.status, {}, false, r.dpi, &result);
        if (!r.lines.empty()) {
            Bands bands;
            for (const BandOp& b : opsOf<BandOp>(l)) bands.emplace_back(b.y, b.height);
            Lines lines;
            for (const FadeLineOp& f : opsOf<FadeLineOp>(l)) lines.push_back(f.y);
            EXPECT_EQ(bands, r.bands);
            EXPECT_EQ(lines, r.lines);
        }
        const auto t = textAt(l, r.x, r.y);
        EXPECT_EQ(t ? t->text : kNone, r.text);
        if (r.status <= 0 && !r.tweak) {
            EXPECT_EQ(opsOf<TextOp>(l).size(), r.status < 0 ? 2u : 1u);  // the footer, the message
        }
    }
}

TEST_F(PanelLayoutTest, ButtonColoursAndOrder) {
    for (int32_t status : {1, 99, 101, 102}) EXPECT_FALSE(layout(status).enableButton) << status;
    for (int32_t status : {0, -2, 100}) EXPECT_TRUE(layout(status).enableButton) << status;
    // The window's own check keeps the button disabled whatever the status says.
    for (int32_t status : {0, -1, 100}) EXPECT_FALSE(layout(status, {}, true).enableButton) << status;
    for (const FadeLineOp& f : opsOf<FadeLineOp>(layout(0, {}, false, 144)))
        EXPECT_EQ((std::tuple{f.n, f.rows, f.width}), (std::tuple{120, 2, 420}));
    for (const auto& [fps, colour] : {std::pair{84.99f, Rgb{200, 0, 0}}, std::pair{85.0f, Rgb{0, 100, 0}},
                                      std::pair{std::nanf(""), Rgb{0, 100, 0}}}) {
        result_.averageFps = fps;
        EXPECT_EQ(textAt(layout(100), 97, 166)->colour, colour) << fps;
    }
    settings(result_, {1});
    const PanelLayout l = layout(100);
    EXPECT_EQ(textAt(l, 97, 202)->colour, (Rgb{200, 0, 0}));
    // The label stands over the first band, so it is drawn after it.
    size_t label = 0, firstBand = 0;
    for (size_t i = 0; i < l.ops.size(); ++i) {
        if (auto* t = std::get_if<TextOp>(&l.ops[i]); t && t->text == L"Settings : ") label = i;
        if (auto* b = std::get_if<BandOp>(&l.ops[i]); b && b->y == 202) firstBand = i;
    }
    EXPECT_LT(firstBand, label);
}

TEST_F(PanelLayoutTest, WorldRecordLinesAreTextOrAListFilledOnce) {
    PanelLayout l = layout(100, RecordsListState{true, "kz_cave"});  // one line: text, the list hidden
    EXPECT_EQ(l.recordsList, RecordsListAction::hide);
    EXPECT_FALSE(l.recordsListAfter.filled);
    ASSERT_EQ(opsOf<AnsiTextOp>(l).size(), 1u);
    EXPECT_EQ((std::tuple{opsOf<AnsiTextOp>(l)[0].x, opsOf<AnsiTextOp>(l)[0].y}), (std::tuple{97, 134}));
    runs_["kz_cave"] = {std::string(40, 'w')};
    EXPECT_EQ(opsOf<AnsiTextOp>(layout(100)).at(0).text, std::string(22, 'w') + "...");
    runs_.clear();  // a map without lines shows an empty value
    EXPECT_TRUE(opsOf<AnsiTextOp>(layout(100)).empty());

    runs_["kz_cave"] = {"first", "second", "th\x84rd"};
    runs_["kz_tower"] = {"c", "d"};
    const PanelLayout first = layout(100);
    EXPECT_EQ(first.recordsList, RecordsListAction::fillAndShow);
    EXPECT_EQ(first.recordsListLines, (std::vector<std::wstring>{L"first", L"second", L"th\u00e4rd"}));
    EXPECT_TRUE(opsOf<AnsiTextOp>(first).empty());
    const PanelLayout again = layout(100, first.recordsListAfter);  // keeps the user's selection
    EXPECT_EQ(again.recordsList, RecordsListAction::keep);
    EXPECT_TRUE(again.recordsListLines.empty());
    // Any other state hides the list and forgets its contents.
    EXPECT_FALSE(layout(5, again.recordsListAfter).recordsListAfter.filled);
    // Filled for another map: refilled even without a paint between.
    setMapKey(result_, "kz_tower");
    const PanelLayout tower = layout(100, again.recordsListAfter);
    EXPECT_EQ(tower.recordsList, RecordsListAction::fillAndShow);
    EXPECT_EQ(tower.recordsListLines, (std::vector<std::wstring>{L"c", L"d"}));
}

TEST_F(PanelLayoutTest, SteamIdIsALinkOnlyWhenValidAndFinished) {
    EXPECT_TRUE(opsOf<LinkOp>(layout(100)).empty());
    result_.steamId.valid = 1;
    result_.steamId.text.assign(L"STEAM_0:0:19867136");
    const std::string digits = "76561198000000000";
    std::copy(digits.begin(), digits.end(), result_.steamId.digits.begin());
    EXPECT_FALSE(textAt(layout(100), 97, 184));
    ASSERT_EQ(opsOf<LinkOp>(layout(100)).size(), 1u);
    const LinkOp link = opsOf<LinkOp>(layout(100))[0];
    EXPECT_EQ((std::tuple{link.x, link.y, link.text}), (std::tuple{97, 184, L"STEAM_0:0:19867136"}));
    EXPECT_TRUE(link.address.starts_with(L"http://") && link.address.ends_with(L"/profiles/76561198000000000"));
    const LinkOp scaled = opsOf<LinkOp>(layout(100, {}, false, 144)).at(0);
    EXPECT_EQ((std::tuple{scaled.x, scaled.y}), (std::tuple{146, 276}));
    EXPECT_TRUE(opsOf<LinkOp>(layout(50)).empty());  // not finished: not shown at all
}

TEST(ScaleToDpi, RoundsToTheNearestPixelAndSaturates) {
    const struct {
        int32_t length, dpi, want;
    } rows[] = {
        {410, 120, 513}, {1, 120, 1}, {1, 144, 2}, {-3, 144, -5},  // halves away from zero
        {280, 0, 280},   {280, -144, 280},                        // an unknown DPI counts as 96
        {280, 23, 70},   {280, 961, 2800},                        // held to 24..960
        {INT32_MAX, 192, INT32_MAX}, {INT32_MIN, 192, INT32_MIN},
    };
    for (const auto& r : rows) EXPECT_EQ(scaleToDpi(r.length, r.dpi), r.want) << r.length << " at " << r.dpi;
}

}  // namespace
}  // namespace rw::app
