#pragma once
// Takes the first demo out of a .rar archive with rar.exe into the temporary
// folder, which becomes (and stays) the process's current folder.
#include <filesystem>
#include <optional>
#include <string_view>

#include "base/check_result.h"

namespace rw::app {

struct ExtractedDemo {
    std::filesystem::path path;  // in the temporary folder; the walk deletes it
    std::wstring fileName;
};

// On failure the message and status code are already reported and the
// listing file is gone.
std::optional<ExtractedDemo> extractFirstDemo(std::wstring_view archivePath, CheckResult& result);

}  // namespace rw::app
