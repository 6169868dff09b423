#include "app/panel_layout.h"

#include "analysis/steam_id.h"
#include "app/command_rule.h"
#include "platform/text.h"

namespace rw::app {
namespace {

constexpr int32_t kValueColumn = 97;
constexpr int32_t kSettingsTop = 202;
constexpr int32_t kSettingsLineHeight = 18;

class LayoutWriter {
public:
    explicit LayoutWriter(std::vector<PanelOp>& ops) : ops_(ops) {}

    void fadeLine(int32_t y, int32_t n, Rgb c) { ops_.push_back(FadeLineOp{y, n, c}); }
    void band(int32_t y, int32_t height) { ops_.push_back(BandOp{y, height}); }
    void text(int32_t x, int32_t y, std::wstring_view t, Rgb c = colour::black, PanelFont f = PanelFont::text,
              TextAlign a = TextAlign::left) {
        if (t.empty()) return;  // an empty text draws nothing
        ops_.push_back(TextOp{x, y, std::wstring(t), c, f, a});
    }

private:
    std::vector<PanelOp>& ops_;
};

std::wstring listLine(std::string_view oemLine) {
    std::wstring wide = platform::oemToWide(oemLine);
    if (wide.size() > kTextCapacity - 1) wide.resize(kTextCapacity - 1);
    return wide;
}

void layoutWorldRecords(PanelLayout& layout, const ResultFields& result,
                        const WorldRecordLookup& records, const RecordsListState& before) {
    const std::string_view key = result.mapKeyView();
    const uint32_t count = (records.runCount && records.runAt) ? records.runCount(key) : 0;
    if (count < 2) {
        layout.recordsList = RecordsListAction::hide;
        layout.recordsListAfter = {};
        std::string line = count == 1 ? records.runAt(key, 0) : std::string();
        if (!line.empty()) layout.ops.push_back(AnsiTextOp{kValueColumn, 134, std::move(line), colour::black});
        return;
    }
    // The list is refilled for another map even when no paint saw the check
    // in between; for the same map it keeps the user's selection.
    if (before.filled && before.mapKey == key) {
        layout.recordsList = RecordsListAction::keep;
        layout.recordsListAfter = before;
        return;
    }
    layout.recordsList = RecordsListAction::fillAndShow;
    layout.recordsListLines.reserve(count);
    for (uint32_t i = 0; i < count; ++i) layout.recordsListLines.push_back(listLine(records.runAt(key, i)));
    layout.recordsListAfter = RecordsListState{true, std::string(key)};
}

void layoutResults(PanelLayout& layout, LayoutWriter& out, const ResultFields& result,
                   const WorldRecordLookup& records, const RecordsListState& before) {
    out.band(109, 49);
    out.text(10, 116, L"Time: ");
    out.text(10, 134, L"World Record: ");
    out.text(kValueColumn, 116, result.runTimeText.view());

    layoutWorldRecords(layout, result, records, before);

    out.fadeLine(158, 40, colour::innerLine);
    out.band(159, 43);

    out.text(10, 166, L"Fps: ");
    // A value that is not a number does not count as below.
    const bool low = result.averageFps < 85.0f;
    out.text(kValueColumn, 166, result.averageFpsText.view(), low ? colour::fpsLow : colour::fpsGood);

    out.text(10, 184, L"SteamID: ");
    if (result.steamId.valid) {
        layout.ops.push_back(LinkOp{kValueColumn, 184, std::wstring(result.steamId.text.view()),
                                    profileAddress(result.steamId)});
    } else {
        out.text(kValueColumn, 184, L"----");
    }

    int32_t y = kSettingsTop;
    for (const WideText& line : result.settingsLines) {
        if (line.empty()) continue;
        out.band(y, kSettingsLineHeight);
        out.text(kValueColumn, y, line.view(), colour::settingsLine);
        y += kSettingsLineHeight;
    }
    if (y == kSettingsTop) {
        out.band(kSettingsTop, 24);
        out.text(kValueColumn, kSettingsTop, L"V", colour::allCorrectMark, PanelFont::mark);
        out.fadeLine(226, 40, colour::innerLine);
    } else {
        out.band(y, 6);
        out.fadeLine(y + 6, 40, colour::innerLine);
    }
    out.text(10, kSettingsTop, L"Settings : ");
}

}  // namespace

PanelLayout layoutPanel(int32_t status, const ResultFields& result, const WorldRecordLookup& records,
                        const RecordsListState& listBefore) {
    PanelLayout layout;
    LayoutWriter out(layout.ops);
    layout.enableButton = checkMayStart(status);

    out.fadeLine(362, 80, colour::black);
    out.fadeLine(40, 80, colour::black);
    out.text(275, 329, kProductName, colour::footer, PanelFont::footer, TextAlign::right);

    if (status >= 1 && status <= status::finished) {
        out.band(41, 67);
        out.fadeLine(108, 40, colour::innerLine);
        out.text(10, 48, L"Demo: ");
        out.text(50, 48, result.demoName.view());
        out.text(10, 66, L"Name: ");
        out.text(50, 66, result.playerName.view());
        out.text(10, 84, L"Map: ");
        out.text(50, 84, result.mapName.view());
        if (status < status::finished) out.text(130, 200, std::to_wstring(status) + L"%");
    } else if (status == status::updateCheckRunning) {
        out.band(41, 31);
        out.text(140, 48, kCheckingForUpdates, colour::black, PanelFont::text, TextAlign::centre);
        out.fadeLine(72, 40, colour::innerLine);
    } else if (status != status::idle) {
        out.band(41, 31);
        out.text(140, 48, result.messageText.view(), colour::black, PanelFont::text, TextAlign::centre);
        out.fadeLine(72, 40, colour::innerLine);
    }

    if (status == status::finished) {
        layoutResults(layout, out, result, records, listBefore);
    } else {
        layout.recordsList = RecordsListAction::hide;
        layout.recordsListAfter = {};
    }
    return layout;
}

}  // namespace rw::app
