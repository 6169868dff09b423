// Runwarden.exe: start-up, the main window and the message loop.
#include <windows.h>

#include <array>
#include <string>

#include "app/command_rule.h"
#include "app/dpi_win32.h"
#include "app/file_to_check.h"
#include "app/gdiplus_win32.h"
#include "app/main_window_win32.h"
#include "app/process_win32.h"
#include "app/startup_values_win32.h"
#include "app/update_thread_win32.h"
#include "app/window_placement.h"
#include "platform/win32/handle.h"

namespace rw::app {
namespace {

using Accelerators = platform::UniqueHandle<platform::NullHandleTraits<HACCEL, DestroyAcceleratorTable>>;

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 32, 32, 0));
    windowClass.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 16, 16, 0));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassExW(&windowClass) != 0;
}

WindowPlacement mainWindowPlacement(int32_t dpi) {
    const RECT outer =
        outerRectForDpi(scaleToDpi(kPanelWidth, dpi), scaleToDpi(kPanelHeight, dpi), kMainWindowStyle, dpi);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return placeWindow(IntRect{outer.left, outer.top, outer.right, outer.bottom},
                       IntRect{work.left, work.top, work.right, work.bottom});
}

// Started for a document ("Open with", a file association, a demo dropped on
// the icon), the program may be given the document's folder, or any other, as
// its current folder. Its records and its updates live beside it, where a
// double-click starts it, so the file's path is made whole and the program's
// own folder becomes the current one.
void moveBesideProgram(std::wstring& file) {
    const DWORD needed = GetFullPathNameW(file.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = needed ? GetFullPathNameW(file.c_str(), needed, full.data(), nullptr) : 0;
    if (length == 0 || length >= needed) return;
    full.resize(length);
    const auto program = programPath();
    if (!program || !SetCurrentDirectoryW(program->parent_path().c_str())) return;
    file = std::move(full);
}

Accelerators makeShortcuts() {
    std::array<ACCEL, 2> keys{{{FCONTROL | FVIRTKEY, 'O', kOpenShortcutId},  //
                               {FCONTROL | FVIRTKEY, 'C', kCopyShortcutId}}};
    return Accelerators(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
}

void failureBox(const wchar_t* text) { MessageBoxW(nullptr, text, L"Error!", MB_ICONEXCLAMATION | MB_OK); }

int run(HINSTANCE instance, int show) {
    StartupValues& values = startupValues();

    values.fileToOpen = commandLineFile(processArguments());
    if (values.fileToOpen) moveBesideProgram(*values.fileToOpen);
    values.osVersion = OSVERSIONINFOEXW{};
    values.osVersion.dwOSVersionInfoSize = sizeof values.osVersion;
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&values.osVersion));

    if (!registerWindowClass(instance)) {
        failureBox(L"Window Registration Failed!");
        return 0;
    }
    // Sized for the screen's DPI; the window learns its monitor's when created.
    const int32_t screenDpi = windowDpi(nullptr);
    const WindowPlacement place = mainWindowPlacement(screenDpi);

    // GDI+ serves only to decode the picture while the window is created.
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    const HWND window = CreateWindowExW(0, kWindowClassName, kWindowTitle, kMainWindowStyle, place.x, place.y,
                                        place.width, place.height, nullptr, nullptr, instance, nullptr);
    if (!window) {
        failureBox(L"Window Creation Failed!");
        return 0;
    }
    values.mainWindowHandle = window;
    if (mainWindow().dpi != screenDpi) {
        const WindowPlacement again = mainWindowPlacement(mainWindow().dpi);
        SetWindowPos(window, nullptr, again.x, again.y, again.width, again.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Gdiplus::GdiplusShutdown(gdiplusToken);

    // Nobody waits for the update thread: its records come through their hand-over.
    const platform::ThreadHandle updateThread(CreateThread(nullptr, 0, updateThreadMain, nullptr, 0, nullptr));
    ShowWindow(window, show);
    UpdateWindow(window);

    // Tab moves between the button and the records list, Enter and Space
    // press the focused button, as in a dialog.
    const Accelerators shortcuts = makeShortcuts();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (shortcuts && TranslateAcceleratorW(window, shortcuts.get(), &message)) continue;
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace
}  // namespace rw::app

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) { return rw::app::run(instance, show); }
