#include "platform/http.h"

#include "platform/http_stream.h"

namespace rw::platform {

Failure unreachable(std::string_view url) {
    return Failure{FailureKind::unreachable, "no reply from " + std::string(url)};
}

Failure cannotWrite(const std::filesystem::path& path) {
    return Failure{FailureKind::system, "cannot write " + path.filename().string()};
}

Failure pastLimit(std::string_view url, size_t limit) {
    return Failure{FailureKind::tooLarge, std::string(url) + " is longer than " + std::to_string(limit) + " bytes"};
}

Failure endedShort(std::string_view url, size_t wanted) {
    return Failure{FailureKind::tooSmall, std::string(url) + " is shorter than " + std::to_string(wanted) + " bytes"};
}

Result<> fetchToFile(std::string_view url, std::string_view agent, const std::filesystem::path& path, size_t limit) {
    Result<std::vector<uint8_t>> r = streamToFile(url, agent, path, false, limit);
    if (!r) return r.failure();
    return success();
}

Result<std::vector<uint8_t>> fetchToFileAndMemory(std::string_view url, std::string_view agent,
                                                  const std::filesystem::path& path, size_t limit) {
    return streamToFile(url, agent, path, true, limit);
}

}  // namespace rw::platform
