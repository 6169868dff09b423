#pragma once
// What each HTTP backend provides for the whole-body-to-file fetches: stream
// the body into `path` (created once the URL has opened), keeping a copy in
// memory when asked, and flush it to disk; and the failures all fetches share.
#include <cstddef>
#include <filesystem>
#include <string_view>

#include "platform/http.h"

namespace rw::platform {

Result<std::vector<uint8_t>> streamToFile(std::string_view url, std::string_view agent,
                                          const std::filesystem::path& path, bool keepBytes, size_t limit);

Failure unreachable(std::string_view url);
Failure cannotWrite(const std::filesystem::path& path);
Failure pastLimit(std::string_view url, size_t limit);
Failure endedShort(std::string_view url, size_t wanted);

}  // namespace rw::platform
