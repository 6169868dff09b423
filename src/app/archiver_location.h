#pragma once
// How start-up reads WinRAR's folder from the registry value it leaves behind.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace rw::app {

inline constexpr uint32_t kPathCapacity = 260;  // characters, terminator included

// GetTempPathW's answer for a 260-character buffer: 0 is failure, above 260
// the size it would have needed.
bool tempFolderFits(uint32_t tempPathResult);

// The folder named by the value's data (UTF-16 units as read, any value
// type). The data must fit the 260-character buffer with a terminator: up to
// 259 characters and then a terminator or the end of the data.
std::optional<std::wstring> archiverFolderFromValue(std::span<const uint16_t> data);

}  // namespace rw::app
