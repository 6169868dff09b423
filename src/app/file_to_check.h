#pragma once
// Which file a check takes when it does not ask for one: the first demo or
// archive of a drop on the window, or the file named on the command line
// ("Open with", a file association, a demo dropped on the program's icon).
#include <optional>
#include <span>
#include <string>

namespace rw::app {

struct DroppedItem {
    std::wstring path;
    bool folder = false;
};

// The first item that is not a folder and ends in ".dem" or ".rar" in any
// case, as the file dialog's filter matches them.
std::optional<std::wstring> droppedFileToCheck(std::span<const DroppedItem> items);

// The program's arguments, its own path first: the first non-empty argument
// after it that is not the "-delete " switch of a finished update.
std::optional<std::wstring> commandLineFile(std::span<const std::wstring> args);

}  // namespace rw::app
