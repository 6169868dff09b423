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
            [this](std::string_view key) { return uint32_t(runs_.count(key) ? runs_.find(key)->second.size() : 0); },
            [this](std::string_view key, uint32_t i) { return runs_.find(key)->second.at(i); }};
        // Every character is 7 pixels wide.
        const TextMeasure measure{[](std::wstring_view t, PanelFont) { return static_cast<int32_t>(7 * t.size()); },
                                  [](std::string_view t) { return static_cast<int32_t>(7 * t.size()); }};
        return layoutPanel(status, result ? *result : result_, lookup, measure, before, checkRunning, dpi);
    }

    CheckResult result_;
    std::map<std::string, std::vector<std::string>, std::less<>> runs_;
};

const Bands kResult = {{41, 67}, {109, 49}, {159, 43}, {202, 24}};
const Lines kResultLines = {362, 40, 108, 158, 226};
const std::wstring kNone = L"(none)";

// Each state's frame (bands and fade lines; not checked where lines is empty) and the text at a place,
// with one field set to a value (settings: the digits name the lines).
// Room to the window's edge at x 280: 230 pixels at x 50 hold 32 characters, or 29 and the dots, 183 at
// x 97 hold 26, or 23 and the dots; a message has 280 pixels, 40 characters, and breaks at the last blank.
TEST_F(PanelLayoutTest, EachStateDrawsItsFrameAndTexts) {
    constexpr auto demo = &CheckResult::demoName, player = &CheckResult::playerName;
    constexpr auto message = &CheckResult::messageText;
    const std::wstring dirs = L"Opening C:\\" + std::wstring(80, L'd') + L" failed";
    const struct {
        const char* name;
        int32_t status;
        WideText CheckResult::*field;
        std::wstring value;
        Bands bands;
        Lines lines;
        int32_t x, y;
        std::wstring text;
        int32_t dpi = 96;
    } rows[] = {
        {"idle: only the footer", 0, nullptr, L"", {}, {362, 40}, 275, 329, L"Runwarden"},
        {"running: the map", 42, nullptr, L"", {{41, 67}}, {362, 40, 108}, 50, 84, L"kz_cave"},
        {"update check", 101, nullptr, L"", {{41, 31}}, {362, 40, 72}, 140, 48, L"Checking for updates ..."},
        {"failure: old results hidden", -2, nullptr, L"", {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!"},
        {"finished: the mark", 100, nullptr, L"", kResult, kResultLines, 97, 202, L"V"},
        {"no SteamID", 100, nullptr, L"", kResult, kResultLines, 97, 184, L"----"},
        {"an empty value draws nothing", 42, player, L"", {}, {}, 50, 66, kNone},
        {"26 end in the last 5 pixels", 100, &CheckResult::runTimeText, std::wstring(26, L'n'), {}, {}, 97, 116,
         std::wstring(26, L'n')},
        {"long demo name", 100, demo, std::wstring(40, L'n'), {}, {}, 50, 48, std::wstring(29, L'n') + L"..."},
        {"blanks go before the dots", 100, player, L"a very long player name made of it", {}, {}, 50, 66,
         L"a very long player name made..."},
        {"long run time", 100, &CheckResult::runTimeText, std::wstring(40, L'n'), {}, {}, 97, 116,
         std::wstring(23, L'n') + L"..."},
        {"settings 18 apart", 100, nullptr, L"147", {{41, 67}, {109, 49}, {159, 43}, {202, 18}, {220, 18}, {238, 18},
         {256, 6}}, {362, 40, 108, 158, 262}, 97, 238, L"setting 7"},
        {"eight close up above the footer", 100, nullptr, L"01234567", {}, {}, 97, 300, L"setting 7"},
        {"seven are 17 apart", 100, nullptr, L"1234567", {}, {}, 97, 304, L"setting 7"},
        {"wrap at a blank", -1, message, L"Unable to connect to the update server at it", {{41, 49}}, {362, 40, 90},
         140, 66, L"at it"},
        {"40 on one line", -1, message, std::wstring(40, L'x'), {{41, 31}}, {362, 40, 72}, 140, 48,
         std::wstring(40, L'x')},
        {"no blank: cut", -1, message, std::wstring(50, L'x'), {}, {}, 140, 66, std::wstring(10, L'x')},
        {"long second line: dots", -1, message, dirs, {}, {}, 140, 66, L"C:\\" + std::wstring(34, L'd') + L"..."},
        {"144 DPI: bands meet the scaled lines", 100, nullptr, L"", {{62, 100}, {164, 73}, {239, 64}, {303, 36}},
         {543, 60, 162, 237, 339}, 146, 303, L"V", 144},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CheckResult result;
        fillResult(result);
        if (r.field) {
            (result.*r.field).assign(r.value);
        } else {
            for (wchar_t n : r.value) result.settingsLines[n - L'0'].assign(L"setting " + std::wstring(1, n));
        }
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
        if (r.status <= 0 && !r.field) {
            EXPECT_EQ(opsOf<TextOp>(l).size(), r.status < 0 ? 2u : 1u);  // the footer, the message
        }
    }
}

TEST_F(PanelLayoutTest, ButtonAndColours) {
    for (int32_t status : {1, 99, 101, 102}) EXPECT_FALSE(layout(status).enableButton) << status;
    for (int32_t status : {0, -2, 100}) EXPECT_TRUE(layout(status).enableButton) << status;
    // The window's own check keeps the button disabled whatever the status says.
    for (int32_t status : {0, -1, 100}) EXPECT_FALSE(layout(status, {}, true).enableButton) << status;
    for (const auto& [fps, colour] : {std::pair{84.99f, Rgb{200, 0, 0}}, std::pair{85.0f, Rgb{0, 100, 0}},
                                      std::pair{std::nanf(""), Rgb{0, 100, 0}}}) {
        result_.averageFps = fps;
        EXPECT_EQ(textAt(layout(100), 97, 166)->colour, colour) << fps;
    }
}

TEST_F(PanelLayoutTest, WorldRecordLinesAreTextOrAListFilledOnce) {
    PanelLayout l = layout(100, RecordsListState{true, "kz_cave"});  // one line: text, the list hidden
    EXPECT_EQ(std::tuple(l.recordsList, l.recordsListAfter.filled), std::tuple(RecordsListAction::hide, false));
    const AnsiTextOp line = opsOf<AnsiTextOp>(l).at(0);
    EXPECT_EQ((std::tuple{line.x, line.y, line.text}), (std::tuple{97, 134, "kz_cave 01:02.03 holder"}));

    runs_["kz_cave"] = {"first", "second", "th\x84rd"};
    runs_["kz_tower"] = {"c", "d"};
    const PanelLayout first = layout(100);
    EXPECT_EQ(first.recordsList, RecordsListAction::fillAndShow);
    EXPECT_EQ(first.recordsListLines, (std::vector<std::wstring>{L"first", L"second", L"th\u00e4rd"}));
    EXPECT_TRUE(opsOf<AnsiTextOp>(first).empty());
    const PanelLayout again = layout(100, first.recordsListAfter);  // keeps the user's selection
    EXPECT_EQ(std::tuple(again.recordsList, again.recordsListLines.size()), std::tuple(RecordsListAction::keep, 0u));
    // Any other state hides the list and forgets its contents.
    EXPECT_FALSE(layout(5, again.recordsListAfter).recordsListAfter.filled);
    // Filled for another map: refilled even without a paint between.
    setMapKey(result_, "kz_tower");
    EXPECT_EQ(layout(100, again.recordsListAfter).recordsListLines, (std::vector<std::wstring>{L"c", L"d"}));
}

TEST_F(PanelLayoutTest, SteamIdIsALinkOnlyWhenValidAndFinished) {
    EXPECT_TRUE(opsOf<LinkOp>(layout(100)).empty());  // not valid: the text "----"
    result_.steamId.valid = 1;
    result_.steamId.text.assign(L"STEAM_0:0:19867136");
    const std::string digits = "76561198000000000";
    std::copy(digits.begin(), digits.end(), result_.steamId.digits.begin());
    EXPECT_FALSE(textAt(layout(100), 97, 184));  // the link in place of the text
    const LinkOp scaled = opsOf<LinkOp>(layout(100, {}, false, 144)).at(0);
    EXPECT_EQ((std::tuple{scaled.x, scaled.y}), (std::tuple{146, 276}));
    EXPECT_TRUE(opsOf<LinkOp>(layout(50)).empty());  // not finished: not shown at all
}

}  // namespace
}  // namespace rw::app
