#pragma once
// Plain file operations for the program's own files (records data, the
// program file during an update, archive extracts).
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "base/result.h"

namespace rw::platform {

// The whole file, when it can be read and its size lies in [minSize, maxSize];
// else why not: missing, system (cannot be read), tooSmall or tooLarge.
Result<std::vector<uint8_t>> readFileBounded(const std::filesystem::path& path, uint64_t minSize, uint64_t maxSize);
// Exactly the first n bytes; else missing, system or tooSmall.
Result<std::vector<uint8_t>> readFilePrefix(const std::filesystem::path& path, size_t n);
// The backends' shared verdict on a file of `size` bytes read within bounds.
Result<> checkFileSize(uint64_t size, uint64_t minSize, uint64_t maxSize);
bool fileExists(const std::filesystem::path& path);
// Creates or replaces the file with these bytes, safely: they are written to
// a temporary file beside it ("NAME.tmp"), made durable, and only then moved
// over the target. On any failure the temporary file is removed and the target
// is as it was, so a reader never sees a half-written file.
bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// True when the file is gone afterwards (a missing file counts as deleted).
bool removeFile(const std::filesystem::path& path);
// Moves a file over the target, replacing it in one step where the OS can.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace rw::platform
