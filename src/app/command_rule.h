#pragma once
// When the "Check Demo" button may start a check: only when no check is
// running and no update is in progress.
#include <cstdint>

namespace rw::app {

// The button's id is also the one Enter sends to the window (IDOK), so
// Enter reaches the button when no other control wants it.
inline constexpr uint64_t kCheckButtonId = 1;
// Keyboard shortcuts: Ctrl+O opens the file dialog, Ctrl+C copies the result.
// Apart from the ids Escape and Enter send.
inline constexpr uint16_t kOpenShortcutId = 101;
inline constexpr uint16_t kCopyShortcutId = 102;
inline constexpr uint16_t kShowGraphId = 103;  // the panel menu's "Show run graph"

// The status codes at which the button is enabled by a paint and a click
// counts, while no check the window started is still running: until its
// thread reports it done, the status may still be the previous outcome's.
bool checkMayStart(int32_t status, bool checkRunning);

// A WM_COMMAND starts a check only when wParam is exactly the button's id with
// notification 0 (a click), or the open shortcut's id with notification 1,
// and a check may start; the records list's commands and other notifications
// do nothing.
bool commandStartsCheck(uint64_t wParam, int32_t status, bool checkRunning);

// True for the copy shortcut's WM_COMMAND.
bool commandCopiesResult(uint64_t wParam);

}  // namespace rw::app
