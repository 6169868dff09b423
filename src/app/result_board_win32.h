#pragma once
// The board the workers publish their results to and the window paints from.
// It lives until the process ends and is never destroyed.
#include "base/check_result.h"

namespace rw::app {

ResultBoard& resultBoard();

}  // namespace rw::app
