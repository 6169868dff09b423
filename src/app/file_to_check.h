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

// The first item that is not a folder and ends in ".dem", ".rar", ".zip" or
// ".7z" in any case, as the file dialog's filter matches them.
std::optional<std::wstring> droppedFileToCheck(std::span<const DroppedItem> items);

// The open-file dialog's filter list: pairs of description and pattern, each
// ended by a zero, then an empty pair. Demo files and the archives given
// ("Demo Files (*.dem; *.zip)", "*.dem;*.zip"), then "All Files (*.*)"; the
// terminator of c_str() ends the list.
std::wstring dialogFilter(std::span<const std::wstring> archiveExtensions);

// The program's arguments, its own path first: the first non-empty argument
// after it that is not the "-delete " switch of a finished update.
std::optional<std::wstring> commandLineFile(std::span<const std::wstring> args);

}  // namespace rw::app
