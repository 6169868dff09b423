#include "app/result_panel_win32.h"

#include "app/fade_line.h"
#include "app/result_board_win32.h"
#include "app/startup_values_win32.h"
#include "platform/text.h"

namespace rw::app {
namespace {

COLORREF colorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

WorldRecordLookup lookupIn(const RecordsDatabase* records) {
    if (!records) return {};
    return WorldRecordLookup{[records](std::string_view key) { return records->runCount(key); },
                             [records](std::string_view key, uint32_t i) { return records->runAt(key, i); }};
}

HFONT fontFor(const MainWindow& w, PanelFont font) {
    switch (font) {
        case PanelFont::mark: return w.markFont.get();
        case PanelFont::footer: return w.footerFont.get();
        case PanelFont::text: break;
    }
    return w.textFont.get();
}

UINT alignFor(TextAlign align) {
    switch (align) {
        case TextAlign::right: return TA_RIGHT | TA_TOP;
        case TextAlign::centre: return TA_CENTER | TA_TOP;
        case TextAlign::left: break;
    }
    return TA_LEFT | TA_TOP;
}

// Measures on the screen, whose drawing context the back buffer's matches.
TextMeasure measureOn(HDC dc, const MainWindow& w) {
    return TextMeasure{[dc, &w](std::wstring_view text, PanelFont font) {
                           return static_cast<int32_t>(textExtent(dc, fontFor(w, font), text).cx);
                       },
                       [dc, &w](std::string_view text) {
                           return static_cast<int32_t>(textExtent(dc, w.textFont.get(), text).cx);
                       }};
}

void emptyList(HWND list) {
    // Delete the first item until the list says none is left or fails.
    while (SendMessageW(list, CB_DELETESTRING, 0, 0) > 0) {
    }
}

void applyRecordsList(MainWindow& w, const PanelLayout& layout) {
    switch (layout.recordsList) {
        case RecordsListAction::hide:
            ShowWindow(w.recordsList, SW_HIDE);
            break;
        case RecordsListAction::fillAndShow:
            emptyList(w.recordsList);
            for (const std::wstring& line : layout.recordsListLines)
                SendMessageW(w.recordsList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
            SendMessageW(w.recordsList, CB_SETCURSEL, 0, 0);
            ShowWindow(w.recordsList, SW_SHOW);
            break;
        case RecordsListAction::keep:
            break;
    }
    w.recordsListState = layout.recordsListAfter;
}

// At 96 DPI the picture as it is; at others stretched with averaging, which
// keeps it smooth.
void drawPicture(HDC dc, HDC pictureDc, const MainWindow& w) {
    const int32_t width = scaleToDpi(w.pictureWidth, w.dpi);
    const int32_t height = scaleToDpi(w.pictureHeight, w.dpi);
    if (w.dpi == kDesignDpi) {
        BitBlt(dc, 0, 0, width, height, pictureDc, 0, 0, SRCCOPY);
        return;
    }
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, width, height, pictureDc, 0, 0, w.pictureWidth, w.pictureHeight, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

struct OpRunner {
    MainWindow& w;
    HDC dc;
    HDC pictureDc;

    void operator()(const FadeLineOp& op) const { drawFadeLine(dc, op); }
    void operator()(const BandOp& op) const {
        if (pictureDc) drawBand(dc, pictureDc, op.y, scaleToDpi(kPanelWidth, w.dpi), op.height, w.bandBlend);
    }
    void operator()(const TextOp& op) const {
        ScopedSelect font(dc, fontFor(w, op.font));
        SetTextColor(dc, colorRef(op.colour));
        SetTextAlign(dc, alignFor(op.align));
        TextOutW(dc, op.x, op.y, op.text.c_str(), static_cast<int>(op.text.size()));
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        SetTextColor(dc, RGB(0, 0, 0));
    }
    void operator()(const AnsiTextOp& op) const {
        SetTextColor(dc, colorRef(op.colour));
        TextOutA(dc, op.x, op.y, op.text.c_str(), static_cast<int>(op.text.size()));
    }
    void operator()(const LinkOp& op) const {
        w.profileLink.setPlace(op.x, op.y);
        w.profileLink.setText(op.text);
        w.profileLink.setAddress(op.address);
        w.profileLink.draw(dc);
    }
};

}  // namespace

void drawFadeLine(HDC dc, const FadeLineOp& line) {
    const int32_t last = line.width - 2;
    int32_t start = 0;
    while (start <= last) {
        const Rgb c = *fadeLinePixel(start, line.n, line.colour, line.width);
        int32_t end = start + 1;
        while (end <= last && *fadeLinePixel(end, line.n, line.colour, line.width) == c) ++end;
        SetDCPenColor(dc, colorRef(c));
        for (int32_t y = line.y; y < line.y + line.rows; ++y) {
            MoveToEx(dc, start, y, nullptr);
            LineTo(dc, end, y);  // the end point itself is not drawn
        }
        start = end;
    }
}

void drawBand(HDC dc, HDC pictureDc, int32_t y, int32_t width, int32_t height, const BLENDFUNCTION& blend) {
    AlphaBlend(dc, 0, y, width, height, pictureDc, 0, 0, 1, 1, blend);
}

void paintResultPanel(HWND window, MainWindow& w) {
    // Begin painting before reading the result: a worker that publishes after
    // this point invalidates the window again, so its change gets a paint of
    // its own. Reading first could let this paint validate that change while
    // drawing the older state, and the final state would never reach the screen.
    PAINTSTRUCT ps{};
    const HDC windowDc = BeginPaint(window, &ps);

    const ResultSnapshot shown = resultBoard().snapshot();

    // The link is live only while this paint gives it the SteamID again.
    w.profileLink.setPlace(0, 0);
    w.profileLink.setText(L"");

    const ScreenDc screen(GetDC(nullptr));
    const PanelLayout layout = layoutPanel(shown.status, shown.fields, lookupIn(startupValues().records.peek()),
                                           measureOn(screen.get(), w), w.recordsListState, w.checkRunning, w.dpi);
    if (layout.enableButton) EnableWindow(w.checkButton, TRUE);
    {
        MemoryDc back(CreateCompatibleDC(windowDc));
        MemoryDc picture(CreateCompatibleDC(windowDc));
        ScopedSelect backBuffer(back.get(), w.backBuffer.get());
        ScopedSelect pictureBitmap(picture.get(), w.picture.get());
        const HDC pictureDc = w.picture ? picture.get() : nullptr;
        if (pictureDc) drawPicture(back.get(), pictureDc, w);

        SetBkMode(back.get(), TRANSPARENT);
        ScopedSelect pen(back.get(), GetStockObject(DC_PEN));
        ScopedSelect font(back.get(), w.textFont.get());
        SetTextColor(back.get(), RGB(0, 0, 0));
        SetTextAlign(back.get(), TA_LEFT | TA_TOP);

        const OpRunner run{w, back.get(), pictureDc};
        for (const PanelOp& op : layout.ops) std::visit(run, op);
        applyRecordsList(w, layout);

        BitBlt(windowDc, 0, 0, scaleToDpi(kPanelWidth, w.dpi), scaleToDpi(kPanelHeight, w.dpi), back.get(), 0, 0,
               SRCCOPY);
    }
    EndPaint(window, &ps);
}

}  // namespace rw::app
