#pragma once
// The one main window: its picture, back buffer, fonts and controls, made
// when the window is created and kept until the process ends.
#include <windows.h>

#include "app/gdi_objects_win32.h"
#include "app/panel_layout.h"
#include "app/profile_link_win32.h"

namespace rw::app {

inline constexpr wchar_t kWindowClassName[] = L"WindowClass";
inline constexpr wchar_t kWindowTitle[] = L"Runwarden";
inline constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr int kPictureResource = 102;
inline constexpr int kIconResource = 101;

struct MainWindow {
    UniqueBitmap picture;  // decoded once; painting goes on without it if that failed
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t dpi = kDesignDpi;  // what the back buffer, fonts and controls are made for
    BLENDFUNCTION bandBlend{};
    UniqueBitmap backBuffer;
    UniqueFont markFont;
    UniqueFont buttonFont;
    UniqueFont textFont;
    UniqueFont footerFont;
    UniqueFont linkHoverFont;
    HWND checkButton = nullptr;  // child windows go with their parent
    HWND recordsList = nullptr;
    RecordsListState recordsListState;  // `recordsListFilled` and the map it holds
    bool trackingLeave = false;
    bool checkRunning = false;  // from WM_STARTCHECK until the check's thread reports it done
    bool outcomeShown = false;  // the panel shows a check's outcome, which can be copied
    ProfileLink profileLink;
};

MainWindow& mainWindow();

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace rw::app
