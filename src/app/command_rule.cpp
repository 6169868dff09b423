#include "app/command_rule.h"

#include "base/check_result.h"

namespace rw::app {

bool checkMayStart(int32_t status, bool checkRunning) {
    return !checkRunning && (status <= status::idle || status == status::finished);
}

bool commandStartsCheck(uint64_t wParam, int32_t status, bool checkRunning) {
    return wParam == kCheckButtonId && checkMayStart(status, checkRunning);
}

}  // namespace rw::app
