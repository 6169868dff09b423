#pragma once
// What each HTTP backend provides for the whole-body-to-file fetches: stream
// the body into `path` (created once the URL has opened and `prepare` has
// run), keeping a copy in memory when asked.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/http.h"

namespace rw::platform {

FetchedFileAndBytes streamToFile(std::string_view url, std::string_view agent, const std::filesystem::path& path,
                                 const std::function<void()>* prepare, bool keepBytes, size_t limit);

}  // namespace rw::platform
