#include "app/command_rule.h"

#include "base/check_result.h"

namespace rw::app {
namespace {

bool isProgress(int32_t status) { return status >= 1 && status < status::finished; }

}  // namespace

bool checkMayStart(int32_t status, const CheckRun& run) {
    return !run.running && (status <= status::idle || status == status::finished);
}

bool commandStartsCheck(uint64_t wParam, int32_t status, const CheckRun& run) {
    return wParam == kCheckButtonId && checkMayStart(status, run);
}

int32_t statusToShow(int32_t status, CheckRun& run) {
    if (!run.running) return status;
    if (isProgress(status)) run.progressShown = true;
    return run.progressShown ? status : status::idle;
}

}  // namespace rw::app
