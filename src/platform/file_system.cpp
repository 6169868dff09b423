#include "platform/file_system.h"

namespace rw::platform {

Result<> checkFileSize(uint64_t size, uint64_t minSize, uint64_t maxSize) {
    if (size < minSize) {
        return Failure{FailureKind::tooSmall, "holds " + std::to_string(size) + " bytes, fewer than " +
                                                  std::to_string(minSize)};
    }
    if (size > maxSize) {
        return Failure{FailureKind::tooLarge, "holds " + std::to_string(size) + " bytes, more than " +
                                                  std::to_string(maxSize)};
    }
    return success();
}

}  // namespace rw::platform
