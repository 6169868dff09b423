#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/panel_layout.h"

namespace rw::app {
namespace {

// World-record lines of a few maps, looked up the way the records database answers.
struct FakeRecords {
    std::map<std::string, std::vector<std::string>, std::less<>> runs;
    WorldRecordLookup lookup() const {
        return WorldRecordLookup{
            [this](std::string_view key) {
                auto it = runs.find(key);
                return it == runs.end() ? 0u : static_cast<uint32_t>(it->second.size());
            },
            [this](std::string_view key, uint32_t i) {
                auto it = runs.find(key);
                return (it == runs.end() || i >= it->second.size()) ? std::string() : it->second[i];
            }};
    }
};

class PanelLayoutTest : public ::testing::Test {
protected:
    PanelLayoutTest() {
        result_.demoName.assign(L"run");
        result_.playerName.assign(L"climber");
        result_.mapName.assign(L"kz_cave");
        std::string key = "kz_cave";
        std::copy(key.begin(), key.end(), result_.mapKey.begin());
        result_.runTimeText.assign(L"01:23.45");
        result_.averageFps = 99.5f;
        result_.averageFpsText.assign(L"99.50");
        result_.messageText.assign(L"File is not a HLDEMO!");
        records_.runs["kz_cave"] = {"kz_cave 01:02.03 holder"};
    }

    PanelLayout layout(int32_t status, RecordsListState before = {}, bool checkRunning = false) const {
        return layoutPanel(status, result_, records_.lookup(), measure_, before, checkRunning);
    }

    static std::vector<TextOp> texts(const PanelLayout& l) {
        std::vector<TextOp> out;
        for (const PanelOp& op : l.ops)
            if (auto* t = std::get_if<TextOp>(&op)) out.push_back(*t);
        return out;
    }
    static const TextOp* textAt(const PanelLayout& l, int32_t x, int32_t y) {
        for (const PanelOp& op : l.ops)
            if (auto* t = std::get_if<TextOp>(&op); t && t->x == x && t->y == y) return t;
        return nullptr;
    }
    static std::vector<int32_t> fadeLines(const PanelLayout& l) {
        std::vector<int32_t> ys;
        for (const PanelOp& op : l.ops)
            if (auto* f = std::get_if<FadeLineOp>(&op)) ys.push_back(f->y);
        return ys;
    }
    static std::vector<std::pair<int32_t, int32_t>> bands(const PanelLayout& l) {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (const PanelOp& op : l.ops)
            if (auto* b = std::get_if<BandOp>(&op)) out.emplace_back(b->y, b->height);
        return out;
    }
    static size_t indexOf(const PanelLayout& l, auto pred) {
        for (size_t i = 0; i < l.ops.size(); ++i)
            if (pred(l.ops[i])) return i;
        return l.ops.size();
    }

    CheckResult result_;
    FakeRecords records_;
    // Every character is 7 pixels wide.
    const TextMeasure measure_{[](std::wstring_view t, PanelFont) { return static_cast<int32_t>(7 * t.size()); },
                               [](std::string_view t) { return static_cast<int32_t>(7 * t.size()); }};
};

// Each state's frame: the bands, the fade lines, the text at a place, and whether the button works.
TEST_F(PanelLayoutTest, EachStateDrawsItsFrame) {
    using Bands = std::vector<std::pair<int32_t, int32_t>>;
    using Lines = std::vector<int32_t>;
    const struct {
        int32_t status;
        Bands bands;
        Lines lines;
        int32_t x, y;
        const wchar_t* text;  // nullptr: nothing there
        bool button;
    } rows[] = {
        {0, {}, {362, 40}, 275, 329, L"Runwarden", true},
        {1, {{41, 67}}, {362, 40, 108}, 130, 200, L"1%", false},
        {42, {{41, 67}}, {362, 40, 108}, 50, 84, L"kz_cave", false},
        {99, {{41, 67}}, {362, 40, 108}, 10, 116, nullptr, false},  // no results yet
        {101, {{41, 31}}, {362, 40, 72}, 140, 48, L"Checking for updates ...", false},
        {102, {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!", false},  // the message as it stands
        {250, {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!", false},
        {-2, {{41, 31}}, {362, 40, 72}, 140, 48, L"File is not a HLDEMO!", true},  // old results are not shown
        {100, {{41, 67}, {109, 49}, {159, 43}, {202, 24}}, {362, 40, 108, 158, 226}, 97, 202, L"V", true},
        {100, {{41, 67}, {109, 49}, {159, 43}, {202, 24}}, {362, 40, 108, 158, 226}, 130, 200, nullptr, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.status);
        const PanelLayout l = layout(r.status);
        EXPECT_EQ(bands(l), r.bands);
        EXPECT_EQ(fadeLines(l), r.lines);
        const TextOp* t = textAt(l, r.x, r.y);
        EXPECT_EQ(t ? t->text : L"(none)", r.text ? r.text : L"(none)");
        EXPECT_EQ(l.enableButton, r.button);
        EXPECT_EQ(l.recordsList, RecordsListAction::hide);
        if (r.status <= 0) {
            EXPECT_EQ(texts(l).size(), r.status < 0 ? 2u : 1u);  // the footer, and the message
        }
    }
    // The window's own check keeps the button disabled whatever the status says.
    for (int32_t status : {0, -1, 100}) EXPECT_FALSE(layout(status, {}, true).enableButton);
    const PanelLayout idle = layout(0), update = layout(101), finished = layout(100);
    EXPECT_EQ(textAt(idle, 275, 329)->align, TextAlign::right);
    EXPECT_EQ(textAt(idle, 275, 329)->font, PanelFont::footer);
    EXPECT_EQ(textAt(update, 140, 48)->align, TextAlign::centre);
    EXPECT_EQ(textAt(finished, 97, 202)->font, PanelFont::mark);
    EXPECT_EQ(textAt(finished, 97, 202)->colour, (Rgb{0, 100, 0}));
    result_.playerName.clear();  // an empty value draws nothing, its label stays
    EXPECT_EQ(textAt(layout(42), 50, 66), nullptr);
    EXPECT_EQ(textAt(layout(42), 10, 66)->text, L"Name: ");
}

TEST_F(PanelLayoutTest, SettingsLinesStackEighteenPixelsApartThenABandAndALine) {
    result_.settingsLines[1].assign(L"sv_gravity 600");
    result_.settingsLines[4].assign(L"sv_stepsize 20");
    result_.settingsLines[7].assign(L"mp_footsteps 0");
    const PanelLayout l = layout(100);
    EXPECT_EQ(textAt(l, 97, 202)->text, L"sv_gravity 600");
    EXPECT_EQ(textAt(l, 97, 220)->text, L"sv_stepsize 20");
    EXPECT_EQ(textAt(l, 97, 238)->text, L"mp_footsteps 0");
    EXPECT_EQ(textAt(l, 97, 238)->colour, (Rgb{200, 0, 0}));
    const auto b = bands(l);
    EXPECT_EQ(std::vector(b.end() - 4, b.end()),
              (std::vector<std::pair<int32_t, int32_t>>{{202, 18}, {220, 18}, {238, 18}, {256, 6}}));
    EXPECT_EQ(fadeLines(l).back(), 262);
    // The label stands over the first band, drawn after it.
    const size_t label = indexOf(l, [](const PanelOp& op) {
        auto* t = std::get_if<TextOp>(&op);
        return t && t->text == L"Settings : ";
    });
    const size_t firstBand = indexOf(l, [](const PanelOp& op) {
        auto* b = std::get_if<BandOp>(&op);
        return b && b->y == 202;
    });
    EXPECT_LT(firstBand, label);
    for (const TextOp& t : texts(l)) EXPECT_NE(t.text, L"V");
}

TEST_F(PanelLayoutTest, EightSettingsLinesCloseUpAboveTheFooter) {
    for (size_t i = 0; i < 8; ++i) result_.settingsLines[i].assign(L"line " + std::to_wstring(i));
    result_.settingsLines[0].assign(L"highest fps is 250.00");
    PanelLayout l = layout(100);
    EXPECT_EQ(textAt(l, 97, 202)->text, L"highest fps is 250.00");
    EXPECT_EQ(textAt(l, 97, 300)->text, L"line 7");
    EXPECT_EQ(bands(l).back(), (std::pair<int32_t, int32_t>{314, 6}));
    EXPECT_EQ(fadeLines(l).back(), 320);  // the footer stands at 329
    result_.settingsLines[0].clear();     // seven lines, 17 pixels apart
    l = layout(100);
    EXPECT_EQ(textAt(l, 97, 304)->text, L"line 7");
    EXPECT_EQ(fadeLines(l).back(), 327);
}

TEST_F(PanelLayoutTest, OverLongTextsStayInsideThePanel) {
    const std::wstring longName(40, L'n');
    result_.demoName.assign(longName);
    result_.playerName.assign(L"a very long player name made of words");
    result_.mapName.assign(longName);
    result_.runTimeText.assign(longName);
    result_.settingsLines[2].assign(L"sv_airacceleration is not correct");
    records_.runs["kz_cave"] = {std::string(40, 'w')};
    const PanelLayout l = layout(100);
    // Room to x 275: 225 pixels at x 50 hold 29 characters and the dots, 178
    // at x 97 hold 22; trailing blanks go before the dots.
    const struct {
        int32_t x, y;
        std::wstring text;
    } cut[] = {{50, 48, std::wstring(29, L'n') + L"..."},
               {50, 66, L"a very long player name made..."},
               {50, 84, std::wstring(29, L'n') + L"..."},
               {97, 116, std::wstring(22, L'n') + L"..."},
               {97, 202, L"sv_airacceleration is..."}};
    for (const auto& c : cut) {
        ASSERT_NE(textAt(l, c.x, c.y), nullptr) << c.y;
        EXPECT_EQ(textAt(l, c.x, c.y)->text, c.text) << c.y;
    }
    for (const PanelOp& op : l.ops)
        if (auto* a = std::get_if<AnsiTextOp>(&op)) {
            EXPECT_EQ(a->text, std::string(22, 'w') + "...");
        }
    // At the normal lengths nothing changes.
    result_.demoName.assign(std::wstring(32, L'n'));
    EXPECT_EQ(textAt(layout(100), 50, 48)->text, std::wstring(32, L'n'));
}

TEST_F(PanelLayoutTest, AMessageTooWideForOneLineTakesTwo) {
    // 270 pixels hold 38 characters; the break comes at the last blank that fits.
    const struct {
        std::wstring message, first, second;
    } rows[] = {
        {L"File is not a HLDEMO!", L"File is not a HLDEMO!", L""},
        {L"Unable to connect to the update server at a rather long address", L"Unable to connect to the update server",
         L"at a rather long address"},
        {std::wstring(50, L'x'), std::wstring(38, L'x'), std::wstring(12, L'x')},
        {L"Opening C:\\" + std::wstring(80, L'd') + L" failed", L"Opening", L"C:\\" + std::wstring(32, L'd') + L"..."},
    };
    for (const auto& r : rows) {
        result_.messageText.assign(r.message);
        const PanelLayout l = layout(-1);
        ASSERT_NE(textAt(l, 140, 48), nullptr);
        EXPECT_EQ(textAt(l, 140, 48)->text, r.first);
        const TextOp* second = textAt(l, 140, 66);
        EXPECT_EQ(second ? second->text : L"", r.second);
        if (r.second.empty()) {
            EXPECT_EQ(bands(l), (std::vector<std::pair<int32_t, int32_t>>{{41, 31}}));
            EXPECT_EQ(fadeLines(l), (std::vector<int32_t>{362, 40, 72}));
        } else {
            EXPECT_EQ(second->align, TextAlign::centre);
            EXPECT_EQ(bands(l), (std::vector<std::pair<int32_t, int32_t>>{{41, 49}}));
            EXPECT_EQ(fadeLines(l), (std::vector<int32_t>{362, 40, 90}));
        }
    }
}

TEST_F(PanelLayoutTest, FpsIsRedBelowEightyFive) {
    result_.averageFps = 84.99f;
    EXPECT_EQ(textAt(layout(100), 97, 166)->colour, (Rgb{200, 0, 0}));
    result_.averageFps = 85.0f;
    EXPECT_EQ(textAt(layout(100), 97, 166)->colour, (Rgb{0, 100, 0}));
    result_.averageFps = std::nanf("");
    EXPECT_EQ(textAt(layout(100), 97, 166)->colour, (Rgb{0, 100, 0}));
}

TEST_F(PanelLayoutTest, OneWorldRecordLineIsTextAndHidesTheList) {
    const PanelLayout l = layout(100, RecordsListState{true, "kz_cave"});
    EXPECT_EQ(l.recordsList, RecordsListAction::hide);
    EXPECT_FALSE(l.recordsListAfter.filled);
    size_t found = 0;
    for (const PanelOp& op : l.ops) {
        if (auto* a = std::get_if<AnsiTextOp>(&op)) {
            ++found;
            EXPECT_EQ(a->x, 97);
            EXPECT_EQ(a->y, 134);
            EXPECT_EQ(a->text, "kz_cave 01:02.03 holder");
        }
    }
    EXPECT_EQ(found, 1u);

    records_.runs.clear();  // a map without lines shows an empty value
    for (const PanelOp& op : layout(100).ops) EXPECT_FALSE(std::holds_alternative<AnsiTextOp>(op));
}

TEST_F(PanelLayoutTest, SeveralWorldRecordLinesFillTheListOnceAndKeepTheSelection) {
    records_.runs["kz_cave"] = {"first", "second", "th\x84rd"};
    const PanelLayout first = layout(100);
    EXPECT_EQ(first.recordsList, RecordsListAction::fillAndShow);
    EXPECT_EQ(first.recordsListLines, (std::vector<std::wstring>{L"first", L"second", L"th\u00e4rd"}));
    EXPECT_TRUE(first.recordsListAfter.filled);
    for (const PanelOp& op : first.ops) EXPECT_FALSE(std::holds_alternative<AnsiTextOp>(op));

    const PanelLayout again = layout(100, first.recordsListAfter);
    EXPECT_EQ(again.recordsList, RecordsListAction::keep);
    EXPECT_TRUE(again.recordsListLines.empty());
    EXPECT_TRUE(again.recordsListAfter.filled);

    // Any other state hides the list and forgets its contents.
    const PanelLayout running = layout(5, again.recordsListAfter);
    EXPECT_EQ(running.recordsList, RecordsListAction::hide);
    EXPECT_FALSE(running.recordsListAfter.filled);
}

TEST_F(PanelLayoutTest, ListFilledForAnotherMapIsRefilledEvenWithoutAPaintBetween) {
    records_.runs["kz_cave"] = {"a", "b"};
    records_.runs["kz_tower"] = {"c", "d", "e"};
    const PanelLayout cave = layout(100);
    const std::string key = "kz_tower";
    result_.mapKey.fill('\0');
    std::copy(key.begin(), key.end(), result_.mapKey.begin());
    const PanelLayout tower = layout(100, cave.recordsListAfter);
    EXPECT_EQ(tower.recordsList, RecordsListAction::fillAndShow);
    EXPECT_EQ(tower.recordsListLines, (std::vector<std::wstring>{L"c", L"d", L"e"}));
}

TEST_F(PanelLayoutTest, SteamIdIsALinkOnlyWhenValid) {
    const PanelLayout none = layout(100);
    EXPECT_EQ(textAt(none, 97, 184)->text, L"----");
    for (const PanelOp& op : none.ops) EXPECT_FALSE(std::holds_alternative<LinkOp>(op));

    result_.steamId.valid = 1;
    result_.steamId.text.assign(L"STEAM_0:0:19867136");
    const std::string digits = "76561198000000000";
    std::copy(digits.begin(), digits.end(), result_.steamId.digits.begin());
    const PanelLayout live = layout(100);
    EXPECT_EQ(textAt(live, 97, 184), nullptr);
    const LinkOp* link = nullptr;
    for (const PanelOp& op : live.ops)
        if (auto* l = std::get_if<LinkOp>(&op)) link = l;
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->x, 97);
    EXPECT_EQ(link->y, 184);
    EXPECT_EQ(link->text, L"STEAM_0:0:19867136");
    EXPECT_TRUE(link->address.starts_with(L"http://"));
    EXPECT_TRUE(link->address.ends_with(L"/profiles/76561198000000000"));

    // Not finished: the SteamID is not shown at all.
    for (const PanelOp& op : layout(50).ops) EXPECT_FALSE(std::holds_alternative<LinkOp>(op));
}

TEST(ScaleToDpi, RoundsToTheNearestPixelAndSaturates) {
    const struct {
        int32_t length, dpi, want;
    } rows[] = {
        {280, 96, 280},  {410, 96, 410},  {280, 120, 350}, {410, 120, 513},  // 512.5 rounds up
        {280, 144, 420}, {410, 144, 615}, {280, 192, 560}, {410, 192, 820},
        {1, 120, 1},     {1, 144, 2},     {3, 144, 5},     {-3, 144, -5},  // halves away from zero
        {0, 144, 0},     {280, 0, 280},   {280, -144, 280},                // an unknown DPI counts as 96
        {280, 1, 70},    {280, 100000, 2800},                              // held to 24..960
        {INT32_MAX, 192, INT32_MAX},      {INT32_MIN, 192, INT32_MIN},
    };
    for (const auto& r : rows) EXPECT_EQ(scaleToDpi(r.length, r.dpi), r.want) << r.length << " at " << r.dpi;
}

TEST_F(PanelLayoutTest, TheFrameGrowsWithTheDpi) {
    const struct {
        int32_t dpi, width, rows;
        std::vector<int32_t> lines;
        int32_t fade, footerX, footerY;
    } rows[] = {
        {96, 280, 1, {362, 40}, 80, 275, 329},
        {120, 350, 1, {453, 50}, 100, 344, 411},
        {144, 420, 2, {543, 60}, 120, 413, 494},
        {192, 560, 2, {724, 80}, 160, 550, 658},
    };
    for (const auto& r : rows) {
        const PanelLayout l = layoutPanel(0, result_, records_.lookup(), measure_, {}, false, r.dpi);
        EXPECT_EQ(fadeLines(l), r.lines) << r.dpi;
        for (const PanelOp& op : l.ops)
            if (auto* f = std::get_if<FadeLineOp>(&op)) {
                EXPECT_EQ(f->n, r.fade) << r.dpi;
                EXPECT_EQ(f->rows, r.rows) << r.dpi;
                EXPECT_EQ(f->width, r.width) << r.dpi;
            }
        EXPECT_NE(textAt(l, r.footerX, r.footerY), nullptr) << r.dpi;
    }
}

TEST_F(PanelLayoutTest, AtOneAndAHalfTimesBandsMeetTheScaledLinesAndTextsKeepTheirRoom) {
    result_.steamId.valid = 1;
    result_.steamId.text.assign(L"STEAM_0:0:1");
    result_.demoName.assign(std::wstring(60, L'n'));
    const PanelLayout l = layoutPanel(100, result_, records_.lookup(), measure_, {}, false, 144);
    EXPECT_EQ(fadeLines(l), (std::vector<int32_t>{543, 60, 162, 237, 339}));
    EXPECT_EQ(bands(l), (std::vector<std::pair<int32_t, int32_t>>{{62, 100}, {164, 73}, {239, 64}, {303, 36}}));
    EXPECT_EQ(textAt(l, 146, 303)->text, L"V");
    // 338 pixels from x 75 to 413 hold 45 characters of 7 pixels and the dots.
    EXPECT_EQ(textAt(l, 75, 72)->text, std::wstring(45, L'n') + L"...");
    for (const PanelOp& op : l.ops)
        if (auto* link = std::get_if<LinkOp>(&op)) {
            EXPECT_EQ((std::pair{link->x, link->y}), (std::pair{146, 276}));
        }
}

}  // namespace
}  // namespace rw::app
