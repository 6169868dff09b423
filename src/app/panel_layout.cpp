#include "app/panel_layout.h"

#include <algorithm>
#include <limits>

#include "analysis/steam_id.h"
#include "app/command_rule.h"
#include "platform/text.h"

namespace rw::app {
namespace {

constexpr int32_t kValueColumn = 97;
constexpr int32_t kSettingsTop = 202;
constexpr int32_t kSettingsLineHeight = 18;
constexpr int32_t kFooterTop = 329;
constexpr int32_t kMessageCentre = 140;
constexpr int32_t kMessageTop = 48;
constexpr int32_t kLineHeight = 18;

// The longest start of `text` that fits `room` with "..." after it, or the
// whole text when it fits as it is. Widths grow with the length, so the cut
// is found by halving.
template <typename Char, typename Width>
std::basic_string<Char> withEllipsis(std::basic_string_view<Char> text, int32_t room, const Width& width) {
    std::basic_string<Char> whole(text);
    if (width(whole) <= room) return whole;
    const std::basic_string<Char> dots(3, Char('.'));
    auto cut = [&](size_t n) {
        std::basic_string<Char> s(text.substr(0, n));
        // Never half of a surrogate pair.
        if constexpr (sizeof(Char) == sizeof(wchar_t))
            if (!s.empty() && s.back() >= 0xD800 && s.back() <= 0xDBFF) s.pop_back();
        while (!s.empty() && s.back() == Char(' ')) s.pop_back();
        return s + dots;
    };
    size_t lo = 0;
    size_t hi = text.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo + 1) / 2;
        if (width(cut(mid)) <= room) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return cut(lo);
}

// How many characters of `text` the first of two lines takes: the most that
// fit `room`, ended before a blank when there is one to break at.
size_t firstLineLength(std::wstring_view text, int32_t room,
                       const std::function<int32_t(std::wstring_view)>& width) {
    size_t fits = 0;
    while (fits < text.size() && width(text.substr(0, fits + 1)) <= room) ++fits;
    const size_t blank = text.substr(0, fits + 1).rfind(L' ');
    if (blank != std::wstring_view::npos && blank > 0) return blank;
    return std::max<size_t>(fits, 1);
}

// Takes positions at 96 DPI and writes the operations at the window's DPI.
// Texts are measured at that DPI, so the room left for them is too.
class LayoutWriter {
public:
    LayoutWriter(std::vector<PanelOp>& ops, const TextMeasure& measure, int32_t dpi)
        : ops_(ops), measure_(measure), dpi_(dpi) {}

    // A line as thick as one pixel grown to this DPI, at least one.
    void fadeLine(int32_t y, int32_t n, Rgb c) {
        ops_.push_back(FadeLineOp{px(y), px(n), c, std::max(1, px(1)), px(kPanelWidth)});
    }
    // From the scaled top to the scaled bottom, so neighbouring bands meet.
    void band(int32_t y, int32_t height) { ops_.push_back(BandOp{px(y), px(y + height) - px(y)}); }
    void text(int32_t x, int32_t y, std::wstring_view t, Rgb c = colour::black, PanelFont f = PanelFont::text,
              TextAlign a = TextAlign::left) {
        if (t.empty()) return;  // an empty text draws nothing
        ops_.push_back(TextOp{px(x), px(y), std::wstring(t), c, f, a});
    }
    // A value from x to the right edge, cut with "..." when it is longer.
    void value(int32_t x, int32_t y, std::wstring_view t, Rgb c = colour::black) {
        text(x, y, withEllipsis(t, px(kTextRightEdge) - px(x), textWidth()), c);
    }
    void ansiValue(int32_t x, int32_t y, std::string_view t) {
        if (t.empty()) return;
        ops_.push_back(AnsiTextOp{px(x), px(y), withEllipsis(t, px(kTextRightEdge) - px(x), measure_.ansiWidth),
                                  colour::black});
    }
    void link(int32_t x, int32_t y, std::wstring_view t, std::wstring address) {
        ops_.push_back(LinkOp{px(x), px(y), std::wstring(t), std::move(address)});
    }
    // A message centred on the panel over a band, on two lines when one is
    // too narrow for it; the second ends in "..." if it is still too long.
    void message(std::wstring_view t) {
        const int32_t room = 2 * std::min(px(kMessageCentre), px(kTextRightEdge) - px(kMessageCentre));
        const auto width = textWidth();
        std::wstring_view second;
        if (width(t) > room) {
            const size_t n = firstLineLength(t, room, width);
            second = t.substr(n);
            second.remove_prefix(std::min(second.find_first_not_of(L' '), second.size()));
            t = t.substr(0, n);
        }
        const int32_t lines = second.empty() ? 1 : 2;
        band(41, 31 + (lines - 1) * kLineHeight);
        text(kMessageCentre, kMessageTop, t, colour::black, PanelFont::text, TextAlign::centre);
        text(kMessageCentre, kMessageTop + kLineHeight, withEllipsis(second, room, width), colour::black,
             PanelFont::text, TextAlign::centre);
        fadeLine(72 + (lines - 1) * kLineHeight, 40, colour::innerLine);
    }

private:
    int32_t px(int32_t length) const { return scaleToDpi(length, dpi_); }
    std::function<int32_t(std::wstring_view)> textWidth() const {
        return [this](std::wstring_view t) { return measure_.width(t, PanelFont::text); };
    }

    std::vector<PanelOp>& ops_;
    const TextMeasure& measure_;
    int32_t dpi_;
};

std::wstring listLine(std::string_view oemLine) {
    std::wstring wide = platform::oemToWide(oemLine);
    if (wide.size() > kTextCapacity - 1) wide.resize(kTextCapacity - 1);
    return wide;
}

void layoutWorldRecords(PanelLayout& layout, LayoutWriter& out, const ResultFields& result,
                        const WorldRecordLookup& records, const RecordsListState& before) {
    const std::string_view key = result.mapKeyView();
    const uint32_t count = (records.runCount && records.runAt) ? records.runCount(key) : 0;
    if (count < 2) {
        layout.recordsList = RecordsListAction::hide;
        layout.recordsListAfter = {};
        out.ansiValue(kValueColumn, 134, count == 1 ? records.runAt(key, 0) : std::string());
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
    out.value(kValueColumn, 116, result.runTimeText.view());

    layoutWorldRecords(layout, out, result, records, before);

    out.fadeLine(158, 40, colour::innerLine);
    out.band(159, 43);

    out.text(10, 166, L"Fps: ");
    // A value that is not a number does not count as below.
    const bool low = result.averageFps < 85.0f;
    out.value(kValueColumn, 166, result.averageFpsText.view(), low ? colour::fpsLow : colour::fpsGood);

    out.text(10, 184, L"SteamID: ");
    if (result.steamId.valid) {
        out.link(kValueColumn, 184, result.steamId.text.view(), profileAddress(result.steamId));
    } else {
        out.text(kValueColumn, 184, L"----");
    }

    // Rows close up when they would otherwise run into the footer: the band
    // and line after the last one end two pixels above it.
    const auto lines = static_cast<int32_t>(std::count_if(result.settingsLines.begin(), result.settingsLines.end(),
                                                          [](const WideText& line) { return !line.empty(); }));
    const int32_t pitch =
        lines == 0 ? kSettingsLineHeight : std::min(kSettingsLineHeight, (kFooterTop - 2 - 6 - kSettingsTop) / lines);
    int32_t y = kSettingsTop;
    for (const WideText& line : result.settingsLines) {
        if (line.empty()) continue;
        out.band(y, pitch);
        out.value(kValueColumn, y, line.view(), colour::settingsLine);
        y += pitch;
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

int32_t scaleToDpi(int32_t length, int32_t dpi) {
    const int64_t d = dpi <= 0 ? kDesignDpi : std::clamp(dpi, 24, 960);
    const int64_t product = int64_t{length} * d;
    const int64_t half = kDesignDpi / 2;
    const int64_t scaled = product >= 0 ? (product + half) / kDesignDpi : (product - half) / kDesignDpi;
    return static_cast<int32_t>(
        std::clamp<int64_t>(scaled, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

PanelLayout layoutPanel(int32_t status, const ResultFields& result, const WorldRecordLookup& records,
                        const TextMeasure& measure, const RecordsListState& listBefore, bool checkRunning,
                        int32_t dpi) {
    PanelLayout layout;
    LayoutWriter out(layout.ops, measure, dpi);
    layout.enableButton = checkMayStart(status, checkRunning);

    out.fadeLine(362, 80, colour::black);
    out.fadeLine(40, 80, colour::black);
    out.text(kFooterRightEdge, 329, kProductName, colour::footer, PanelFont::footer, TextAlign::right);

    if (status >= 1 && status <= status::finished) {
        out.band(41, 67);
        out.fadeLine(108, 40, colour::innerLine);
        out.text(10, 48, L"Demo: ");
        out.value(50, 48, result.demoName.view());
        out.text(10, 66, L"Name: ");
        out.value(50, 66, result.playerName.view());
        out.text(10, 84, L"Map: ");
        out.value(50, 84, result.mapName.view());
        if (status < status::finished) out.text(130, 200, std::to_wstring(status) + L"%");
    } else if (status == status::updateCheckRunning) {
        out.message(kCheckingForUpdates);
    } else if (status != status::idle) {
        out.message(result.messageText.view());
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
