#pragma once
// The running process as Windows describes it: its arguments and its program file.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rw::app {

// The process's arguments as CommandLineToArgvW splits them, the program path first.
std::vector<std::wstring> processArguments();
// The running program's own full path; none when it cannot be had.
std::optional<std::filesystem::path> programPath();

}  // namespace rw::app
