#include "base/check_result.h"

#include <cstring>

namespace rw {

std::string_view CheckResult::mapKeyView() const {
    return std::string_view(mapKey.data(), strnlen(mapKey.data(), mapKey.size()));
}

void requestRepaint(CheckResult& result) {
    if (result.repaint.fn) result.repaint.fn(result.repaint.context);
}

void setStatusAndRepaint(CheckResult& result, int32_t code) {
    result.statusCode.store(code, std::memory_order_release);
    requestRepaint(result);
}

void reportFailure(CheckResult& result, std::wstring_view message, int32_t code) {
    result.messageText.assign(message);
    setStatusAndRepaint(result, code);
}

}  // namespace rw
