#pragma once
// Plain file operations for the program's own files (records data, the
// program file during an update, archive extracts).
#include <cstdint>
#include <filesystem>
#include <memory>
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
// A file written beside its target and moved over it only once it is whole.
// It is created exclusively: never into an existing file and never through a
// symbolic link (a leftover of its name, link or file, is removed first, not
// what it points to). It is flushed to disk and stays open, with no write
// sharing where the system has share modes, until it is in place.
class PendingFile {
public:
    virtual ~PendingFile() = default;  // not committed: closed and removed
    // Moves the file over `target` and syncs the folder, then checks through
    // its own handle that the target is this file and holds exactly the bytes
    // written. On failure the target holds no bytes but those: a file changed
    // behind our back is removed.
    virtual bool commit(const std::filesystem::path& target) = 0;
};
// Creates `temp` and writes `bytes` into it; they must outlive the commit.
// Null when the file cannot be made.
std::unique_ptr<PendingFile> writePendingFile(const std::filesystem::path& temp, std::span<const uint8_t> bytes);

// Creates or replaces the file with these bytes through a PendingFile named
// "NAME.tmp", so a reader never sees a half-written file. Every file the
// programs write goes through here or writePendingFile.
bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// True when the file is gone afterwards (a missing file counts as deleted).
bool removeFile(const std::filesystem::path& path);

}  // namespace rw::platform
