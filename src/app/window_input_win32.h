#pragma once
// The window's ways in besides the button: files dropped on it, and the
// result's plain text on the clipboard by Ctrl+C or the panel's menu.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

namespace rw::app {

// The dropped file a check takes, if any; the drop is finished either way.
std::optional<std::wstring> takeDroppedFile(HDROP drop);

// The published result as runwarden-check words it, on the clipboard as
// Unicode text. False when the clipboard could not be had.
bool copyResult(HWND window);

// The panel's right-click menu at `screenPoint` (-1: from the keyboard, at
// the panel's corner); "Copy result" is greyed out when there is none, "Show
// run graph" also when the result has no graph.
void showResultMenu(HWND window, LPARAM screenPoint, bool resultShown);

}  // namespace rw::app
