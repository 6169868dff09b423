#include "app/main_window_win32.h"

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/check_thread_win32.h"
#include "app/command_rule.h"
#include "app/dpi_win32.h"
#include "app/gdiplus_win32.h"
#include "app/result_board_win32.h"
#include "app/result_panel_win32.h"
#include "app/run_graph_file_win32.h"
#include "app/startup_values_win32.h"
#include "app/update_host_win32.h"
#include "app/window_input_win32.h"
#include "app/window_messages_win32.h"
#include "platform/win32/handle.h"

namespace rw::app {
namespace {

// The picture as an ordinary bitmap, opaque black behind transparent pixels.
void decodePicture(MainWindow& w) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromResource(GetModuleHandleW(nullptr),
                                                          MAKEINTRESOURCEW(kPictureResource),
                                                          &bitmap) != Gdiplus::Ok ||
        !bitmap)
        return;
    UINT width = 0;
    UINT height = 0;
    Gdiplus::DllExports::GdipGetImageWidth(bitmap, &width);
    Gdiplus::DllExports::GdipGetImageHeight(bitmap, &height);
    HBITMAP converted = nullptr;
    if (Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(bitmap, &converted, 0xFF000000) == Gdiplus::Ok &&
        converted) {
        w.picture.reset(converted);
        w.pictureWidth = static_cast<int32_t>(width);
        w.pictureHeight = static_cast<int32_t>(height);
    }
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
}

HFONT makeFont(int height, int weight, bool italic, bool underline, const wchar_t* face) {
    return CreateFontW(height, 0, 0, 0, weight, italic, underline, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN | DEFAULT_PITCH, face);
}

// Where a child window stands at 96 DPI.
struct ChildPlace {
    int32_t x, y, width, height;
};
constexpr ChildPlace kCheckButtonPlace{53, 374, 174, 25};
constexpr ChildPlace kRecordsListPlace{93, 130, 178, 16};

ChildPlace scaled(const ChildPlace& place, int32_t dpi) {
    return ChildPlace{scaleToDpi(place.x, dpi), scaleToDpi(place.y, dpi), scaleToDpi(place.width, dpi),
                      scaleToDpi(place.height, dpi)};
}

HWND createChild(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, const ChildPlace& place,
                 int32_t dpi, HMENU id) {
    const ChildPlace p = scaled(place, dpi);
    return CreateWindowExW(0, kind, text, style, p.x, p.y, p.width, p.height, parent, id, GetModuleHandleW(nullptr),
                           nullptr);
}

void setFont(HWND child, HFONT font) { SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

// The back buffer and fonts for drawing at `dpi`.
void makeDrawingParts(MainWindow& w, int32_t dpi) {
    w.dpi = dpi;
    {
        ScreenDc screen(GetDC(nullptr));
        w.backBuffer.reset(
            CreateCompatibleBitmap(screen.get(), scaleToDpi(kPanelWidth, dpi), scaleToDpi(kPanelHeight, dpi)));
    }
    const bool newFace = startupValues().osVersion.dwMajorVersion >= 6;
    const wchar_t* face = newFace ? L"Segoe UI" : L"Tahoma";
    auto font = [&](int height, int weight, bool italic, bool underline) {
        return makeFont(scaleToDpi(height, dpi), weight, italic, underline, face);
    };
    w.markFont.reset(font(16, newFace ? 550 : 400, true, false));
    w.buttonFont.reset(font(14, 400, false, false));
    w.textFont.reset(font(16, 400, false, false));
    w.footerFont.reset(font(14, 400, false, false));
    w.linkHoverFont.reset(font(16, 400, false, true));
}

void createWindowParts(HWND window, MainWindow& w) {
    decodePicture(w);
    w.bandBlend = BLENDFUNCTION{AC_SRC_OVER, 0, 150, AC_SRC_ALPHA};
    const int32_t dpi = windowDpi(window);
    makeDrawingParts(w, dpi);

    static_assert(kCheckButtonId == IDOK);
    w.checkButton = createChild(window, L"button", L"Check Demo", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                kCheckButtonPlace, dpi, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckButtonId)));
    EnableWindow(w.checkButton, FALSE);
    setFont(w.checkButton, w.buttonFont.get());

    w.profileLink.init(w.textFont.get(), w.linkHoverFont.get());

    w.recordsList = createChild(window, L"COMBOBOX", nullptr, WS_CHILD | WS_TABSTOP | CBS_DROPDOWNLIST,
                                kRecordsListPlace, dpi, nullptr);
    setFont(w.recordsList, w.textFont.get());
    w.recordsListState = {};
    DragAcceptFiles(window, TRUE);
}

// The window has moved to a monitor of another DPI: everything is made again
// for it and the window takes the rectangle the system suggests.
void moveToDpi(HWND window, MainWindow& w, int32_t dpi, const RECT& suggested) {
    makeDrawingParts(w, dpi);
    setFont(w.checkButton, w.buttonFont.get());
    setFont(w.recordsList, w.textFont.get());
    w.profileLink.setFonts(w.textFont.get(), w.linkHoverFont.get());
    const std::pair<HWND, ChildPlace> children[] = {{w.checkButton, kCheckButtonPlace},
                                                    {w.recordsList, kRecordsListPlace}};
    for (const auto& [child, place] : children) {
        const ChildPlace p = scaled(place, dpi);
        SetWindowPos(child, nullptr, p.x, p.y, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
}

// `file`: the file to check; none to ask in the dialog. Nothing here waits
// for another thread. A check's thread posts WM_CHECKDONE only once its work,
// its files included, is done, and no check starts before that; the update
// pass's records come through their hand-over.
void startCheck(MainWindow& w, std::optional<std::wstring> file = std::nullopt) {
    removeRunGraphFile();
    EnableWindow(w.checkButton, FALSE);
    w.checkRunning = true;
    std::unique_ptr<std::wstring> given(file ? new std::wstring(std::move(*file)) : nullptr);
    const platform::ThreadHandle thread(CreateThread(nullptr, 0, checkThreadMain, given.get(), 0, nullptr));
    if (thread) {
        given.release();  // the thread's now; it ends by posting WM_CHECKDONE
    } else {
        w.checkRunning = false;
    }
}

// Only a check's outcome is copied, and not while the next check is under way.
bool resultCopyable(const MainWindow& w) { return w.outcomeShown && !w.checkRunning; }

// A drop, the command line's file: checked when the button could start a check.
void checkFile(MainWindow& w, std::optional<std::wstring> file) {
    if (file && checkMayStart(resultBoard().status(), w.checkRunning)) startCheck(w, std::move(file));
}

void setClassCursor(HWND window, HCURSOR cursor) {
    SetClassLongPtrW(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
    SetCursor(cursor);
}

}  // namespace

MainWindow& mainWindow() {
    static auto* window = new MainWindow;  // lives until the process ends
    return *window;
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow& w = mainWindow();
    bool notClaimed = true;
    w.profileLink.handleMouse(window, message, lParam, notClaimed);

    switch (message) {
        case WM_CREATE:
            createWindowParts(window, w);
            return 0;
        case WM_DESTROY:
            removeRunGraphFile();
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            paintResultPanel(window, w);
            return 0;
        case WM_CLOSE:
            if (!refusesClose(message, wParam)) DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if (refusesClose(message, wParam)) return 0;
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_COMMAND:
            if (commandStartsCheck(static_cast<uint64_t>(wParam), resultBoard().status(), w.checkRunning))
                SendMessageW(window, WM_STARTCHECK, 0, 0);
            if (commandCopiesResult(static_cast<uint64_t>(wParam)) && resultCopyable(w)) copyResult(window);
            return 0;
        case WM_CONTEXTMENU:
            showResultMenu(window, lParam, resultCopyable(w));
            return 0;
        case WM_DROPFILES:
            checkFile(w, takeDroppedFile(reinterpret_cast<HDROP>(wParam)));
            return 0;
        case WM_UPDATEDONE:
            checkFile(w, std::exchange(startupValues().fileToOpen, std::nullopt));
            return 0;
        case WM_MOUSEMOVE:
            if (!w.trackingLeave) {
                w.trackingLeave = true;
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
                TrackMouseEvent(&track);
            }
            if (notClaimed) setClassCursor(window, LoadCursorW(nullptr, IDC_ARROW));
            return 0;
        case WM_MOUSELEAVE:
            // The link has dropped its hover above; the arrow waits for the pointer's return.
            SetClassLongPtrW(window, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
            w.trackingLeave = false;
            return 0;
        case WM_STARTCHECK:
            startCheck(w);
            return 0;
        case WM_DPICHANGED:
            moveToDpi(window, w, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CHECKDONE:
            w.checkRunning = false;
            if (wParam) w.outcomeShown = true;
            // The button had the focus and lost it when disabled; keys go to the window again.
            if (!GetFocus() && GetActiveWindow() == window) SetFocus(window);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace rw::app
