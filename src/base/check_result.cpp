#include "base/check_result.h"

#include <cstring>

namespace rw {

std::string_view ResultFields::mapKeyView() const {
    return std::string_view(mapKey.data(), strnlen(mapKey.data(), mapKey.size()));
}

ResultSnapshot ResultBoard::snapshot() const {
    std::lock_guard guard(lock_);
    return ResultSnapshot{status_.load(std::memory_order_relaxed), fields_};
}

void ResultBoard::publish(const ResultFields& fields, int32_t code) {
    std::lock_guard guard(lock_);
    fields_ = fields;
    status_.store(code, std::memory_order_release);
}

void requestRepaint(CheckResult& result) {
    if (result.repaint.fn) result.repaint.fn(result.repaint.context);
}

void setStatusAndRepaint(CheckResult& result, int32_t code) {
    result.statusCode.store(code, std::memory_order_release);
    if (result.board) result.board->publish(result, code);
    requestRepaint(result);
}

void reportFailure(CheckResult& result, std::wstring_view message, int32_t code) {
    result.messageText.assign(message);
    setStatusAndRepaint(result, code);
}

}  // namespace rw
