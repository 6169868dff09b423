#pragma once
// A demo file served from bytes the test keeps alive, for the walk's tables
// and the fuzz entries.
#include <cstdint>
#include <memory>
#include <span>

#include "platform/async_file.h"

namespace rw::test {

std::unique_ptr<platform::AsyncFile> openMemoryFile(std::span<const uint8_t> bytes);

}  // namespace rw::test
