#include "app/dpi_win32.h"

#include "app/gdi_objects_win32.h"
#include "app/panel_layout.h"

namespace rw::app {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// A user32 function that older systems lack, or null.
template <typename Function>
Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int32_t windowDpi(HWND window) {
    static const auto getDpiForWindow = user32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (window && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int32_t>(dpi);
    }
    const ScreenDc screen(GetDC(nullptr));
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kDesignDpi;
}

RECT outerRectForDpi(int32_t clientWidth, int32_t clientHeight, DWORD style, int32_t dpi) {
    static const auto adjustForDpi = user32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT outer{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&outer, style, FALSE, 0, static_cast<UINT>(dpi))) {
        outer = RECT{0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&outer, style, FALSE, 0);
    }
    return outer;
}

}  // namespace rw::app
