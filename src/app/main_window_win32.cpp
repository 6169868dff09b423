#include "app/main_window_win32.h"

#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/check_thread_win32.h"
#include "app/command_rule.h"
#include "app/gdiplus_win32.h"
#include "app/result_panel_win32.h"
#include "app/startup_values_win32.h"
#include "app/update_host_win32.h"
#include "app/window_input_win32.h"

namespace rw::app {
namespace {

constexpr LPARAM kFarOutside = 0xFFFFFFFF;  // x 65535, y 65535: outside every element

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

void createWindowParts(HWND window, MainWindow& w) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    decodePicture(w);
    w.bandBlend = BLENDFUNCTION{AC_SRC_OVER, 0, 150, AC_SRC_ALPHA};
    {
        ScreenDc screen(GetDC(nullptr));
        w.backBuffer.reset(CreateCompatibleBitmap(screen.get(), kPanelWidth, kPanelHeight));
    }

    const bool newFace = startupValues().osVersion.dwMajorVersion >= 6;
    const wchar_t* face = newFace ? L"Segoe UI" : L"Tahoma";
    w.markFont.reset(makeFont(16, newFace ? 550 : 400, true, false, face));
    w.buttonFont.reset(makeFont(14, 400, false, false, face));
    w.textFont.reset(makeFont(16, 400, false, false, face));
    w.footerFont.reset(makeFont(14, 400, false, false, face));
    w.linkHoverFont.reset(makeFont(16, 400, false, true, face));

    static_assert(kCheckButtonId == IDOK);
    w.checkButton = CreateWindowExW(0, L"button", L"Check Demo", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 53, 374, 174, 25,
                                    window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckButtonId)), instance,
                                    nullptr);
    EnableWindow(w.checkButton, FALSE);
    SendMessageW(w.checkButton, WM_SETFONT, reinterpret_cast<WPARAM>(w.buttonFont.get()), TRUE);

    w.profileLink.init(w.textFont.get(), w.linkHoverFont.get());

    w.recordsList = CreateWindowExW(0, L"COMBOBOX", nullptr, WS_CHILD | WS_TABSTOP | CBS_DROPDOWNLIST, 93, 130, 178,
                                    16, window, nullptr, instance, nullptr);
    SendMessageW(w.recordsList, WM_SETFONT, reinterpret_cast<WPARAM>(w.textFont.get()), TRUE);
    w.recordsListState = {};
    DragAcceptFiles(window, TRUE);
}

// `file`: the file to check; none to ask in the dialog.
void startCheck(MainWindow& w, std::optional<std::wstring> file = std::nullopt) {
    StartupValues& values = startupValues();
    // The previous worker (the update pass, then the last check) may still be
    // tidying up after publishing its result; wait for it to end.
    if (values.workerThread) WaitForSingleObject(values.workerThread.get(), INFINITE);
    EnableWindow(w.checkButton, FALSE);
    w.checkRunning = true;
    std::unique_ptr<std::wstring> given(file ? new std::wstring(std::move(*file)) : nullptr);
    values.workerThread.reset(CreateThread(nullptr, 0, checkThreadMain, given.get(), 0, nullptr));
    if (values.workerThread) {
        given.release();  // the thread's now
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
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            paintResultPanel(window, w);
            return 0;
        case WM_CLOSE:
            if (!refusesClose(resultBoard().snapshot(), message, wParam)) DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if (refusesClose(resultBoard().snapshot(), message, wParam)) return 0;
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
            // Still tracking during this move, so it does not arm the notice again.
            SendMessageW(window, WM_MOUSEMOVE, 0, kFarOutside);
            w.trackingLeave = false;
            return 0;
        case WM_STARTCHECK:
            startCheck(w);
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
