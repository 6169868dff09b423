#pragma once
// When the "Check Demo" button may start a check: only when no check is
// running and no update is in progress.
#include <cstdint>

namespace rw::app {

inline constexpr uint64_t kCheckButtonId = 1;

// A check the window started, from WM_STARTCHECK until its thread reports
// that it is done. Only the window thread touches it.
struct CheckRun {
    bool running = false;
    bool progressShown = false;  // a paint has shown this check's progress (1 to 99)
};

// The status codes at which the button is enabled by a paint and a click
// counts, while no check of the window's is running.
bool checkMayStart(int32_t status, const CheckRun& run);

// A WM_COMMAND starts a check only when wParam is exactly the button's id with
// notification 0 (a click) and the check may start; the records list's
// commands and other notifications do nothing.
bool commandStartsCheck(uint64_t wParam, int32_t status, const CheckRun& run);

// The status a paint shows. Until a paint has shown a running check's
// progress, the status still tells of the previous outcome while the check
// already rewrites its fields (the demo name first): nothing of it is shown.
int32_t statusToShow(int32_t status, CheckRun& run);

}  // namespace rw::app
