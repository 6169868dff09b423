#include "platform/http.h"

#include "platform/http_stream.h"

namespace rw::platform {

bool fetchToFile(std::string_view url, std::string_view agent, const std::filesystem::path& path, size_t limit) {
    const FetchedFileAndBytes r = streamToFile(url, agent, path, false, limit);
    return r.ok && !r.incomplete;
}

FetchedFileAndBytes fetchToFileAndMemory(std::string_view url, std::string_view agent,
                                         const std::filesystem::path& path, size_t limit) {
    return streamToFile(url, agent, path, true, limit);
}

}  // namespace rw::platform
