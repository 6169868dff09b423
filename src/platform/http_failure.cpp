#include <string>

#include "platform/http.h"

namespace rw::platform {

Failure unreachableFailure(std::string_view url) {
    return Failure{FailureKind::unreachable, std::string(url) + " could not be fetched"};
}

Failure shortReplyFailure(std::string_view url, size_t n) {
    return Failure{FailureKind::tooSmall, std::string(url) + " answered with fewer than " + std::to_string(n) + " bytes"};
}

}  // namespace rw::platform
