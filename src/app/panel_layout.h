#pragma once
// What one paint of the result panel shows, decided from the published result
// and the world-record lookup alone. The GDI side executes the operations in order
// over a fresh copy of the background picture.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/panel_colour.h"
#include "base/check_result.h"

namespace rw::app {

enum class PanelFont : uint8_t { text, mark, footer };
enum class TextAlign : uint8_t { left, right, centre };

// A separator from column 0 to width - 2, `rows` thick from row y down.
struct FadeLineOp {
    int32_t y = 0;
    int32_t n = 0;
    Rgb colour;
    int32_t rows = 1;
    int32_t width = kPanelWidth;
};

struct BandOp {
    int32_t y = 0;
    int32_t height = 0;
};

// Wide text; (x, y) is the top of the cell at the left edge, right edge or
// middle of the text as the alignment says.
struct TextOp {
    int32_t x = 0;
    int32_t y = 0;
    std::wstring text;
    Rgb colour;
    PanelFont font = PanelFont::text;
    TextAlign align = TextAlign::left;
};

// A world-record line drawn as 8-bit text in the ANSI code page, text font.
struct AnsiTextOp {
    int32_t x = 0;
    int32_t y = 0;
    std::string text;
    Rgb colour;
};

// The SteamID as a live ProfileLink at (x, y).
struct LinkOp {
    int32_t x = 0;
    int32_t y = 0;
    std::wstring text;
    std::wstring address;
};

using PanelOp = std::variant<FadeLineOp, BandOp, TextOp, AnsiTextOp, LinkOp>;

enum class RecordsListAction : uint8_t {
    hide,         // hidden, and no longer counts as filled
    fillAndShow,  // emptied, given `recordsListLines`, item 0 selected, shown
    keep,         // already holds this result's lines: items and selection stay
};

// What the records list holds between paints.
struct RecordsListState {
    bool filled = false;
    std::string mapKey;  // the map whose lines it holds while filled
};

struct WorldRecordLookup {
    std::function<uint32_t(std::string_view mapKey)> runCount;
    std::function<std::string(std::string_view mapKey, uint32_t index)> runAt;
};

// Widths in pixels of texts as the window's fonts draw them: wide texts in
// the given font, 8-bit (ANSI code page) texts in the text font.
struct TextMeasure {
    std::function<int32_t(std::wstring_view text, PanelFont font)> width;
    std::function<int32_t(std::string_view text)> ansiWidth;
};

// The panel is drawn for 96 dots per inch; every length of it grows with the
// window's DPI.
inline constexpr int32_t kDesignDpi = 96;

// `length` (pixels at 96 DPI) at `dpi`, to the nearest pixel, halves away
// from zero. A DPI of 0 or less is unknown and counts as 96; others are held
// to 24..960, and the result to the int32 range.
int32_t scaleToDpi(int32_t length, int32_t dpi);

// Texts may run to the window's right edge; a centred message has as much
// room on its left. The footer alone ends short of it.
inline constexpr int32_t kTextRightEdge = kPanelWidth;
inline constexpr int32_t kFooterRightEdge = 275;

struct PanelLayout {
    std::vector<PanelOp> ops;
    bool enableButton = false;
    RecordsListAction recordsList = RecordsListAction::hide;
    std::vector<std::wstring> recordsListLines;
    RecordsListState recordsListAfter;  // the list's state once the action is done
};

inline constexpr std::wstring_view kProductName = L"Runwarden";
inline constexpr std::wstring_view kCheckingForUpdates = L"Checking for updates ...";

// `status` is read once by the caller, so one paint works from one value;
// while a check the window started runs, the button stays disabled whatever
// the status says. Values too wide for the panel end in "...", a message too
// wide for one line takes two, and the settings lines close up to stay above
// the footer. Positions and sizes come out scaled to `dpi`, for fonts that
// `measure` measures at that DPI.
PanelLayout layoutPanel(int32_t status, const ResultFields& result, const WorldRecordLookup& records,
                        const TextMeasure& measure, const RecordsListState& listBefore, bool checkRunning,
                        int32_t dpi = kDesignDpi);

}  // namespace rw::app
