#pragma once
// What each HTTP backend provides for the whole-body-to-file fetches: stream
// the body into `path` (created once the URL has opened), keeping a copy in
// memory when asked, and flush it to disk.
#include <cstddef>
#include <filesystem>
#include <string_view>

#include "platform/http.h"

namespace rw::platform {

FetchedFileAndBytes streamToFile(std::string_view url, std::string_view agent, const std::filesystem::path& path,
                                 bool keepBytes, size_t limit);

}  // namespace rw::platform
