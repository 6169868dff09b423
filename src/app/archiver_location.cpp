#include "app/archiver_location.h"

#include <algorithm>

namespace rw::app {

bool tempFolderFits(uint32_t tempPathResult) { return tempPathResult != 0 && tempPathResult <= kPathCapacity; }

std::optional<std::wstring> archiverFolderFromValue(std::span<const uint16_t> data) {
    if (data.size() > kPathCapacity) return std::nullopt;
    const auto end = std::find(data.begin(), data.end(), uint16_t{0});
    const auto length = static_cast<size_t>(end - data.begin());
    // Without a terminator inside the data, one must still fit after it.
    if (length > kPathCapacity - 1) return std::nullopt;
    std::wstring folder;
    folder.reserve(length);
    for (auto it = data.begin(); it != end; ++it) folder.push_back(static_cast<wchar_t>(*it));
    return folder;
}

}  // namespace rw::app
