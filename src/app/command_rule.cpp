#include "app/command_rule.h"

#include "base/check_result.h"

namespace rw::app {
namespace {

constexpr uint64_t shortcut(uint16_t id) { return uint64_t{1} << 16 | id; }

}  // namespace

bool checkMayStart(int32_t status, bool checkRunning) {
    return !checkRunning && (status <= status::idle || status == status::finished);
}

bool commandStartsCheck(uint64_t wParam, int32_t status, bool checkRunning) {
    return (wParam == kCheckButtonId || wParam == shortcut(kOpenShortcutId)) && checkMayStart(status, checkRunning);
}

bool commandCopiesResult(uint64_t wParam) { return wParam == shortcut(kCopyShortcutId); }

}  // namespace rw::app
