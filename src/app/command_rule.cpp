#include "app/command_rule.h"

#include "base/check_result.h"

namespace rw::app {

bool checkMayStart(int32_t status) { return status <= status::idle || status == status::finished; }

bool commandStartsCheck(uint64_t wParam, int32_t status) { return wParam == kCheckButtonId && checkMayStart(status); }

}  // namespace rw::app
