#pragma once
// When the "Check Demo" button may start a check: only when no check is
// running and no update is in progress.
#include <cstdint>

namespace rw::app {

inline constexpr uint64_t kCheckButtonId = 1;

// The status codes at which the button is enabled by a paint and a click
// counts, while no check the window started is still running: until its
// thread reports it done, the status may still be the previous outcome's.
bool checkMayStart(int32_t status, bool checkRunning);

// A WM_COMMAND starts a check only when wParam is exactly the button's id with
// notification 0 (a click) and a check may start; the records list's
// commands and other notifications do nothing.
bool commandStartsCheck(uint64_t wParam, int32_t status, bool checkRunning);

}  // namespace rw::app
