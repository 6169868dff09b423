#pragma once
// Demos inside archives (.zip, .7z, .rar and, where libarchive reads them,
// tars). Each backend takes demo entries out, one at a time, into a fresh
// private folder in the temporary folder, hands each to the caller and deletes
// the folder with all it holds before it returns, on every way out. Nothing
// here changes the process's current folder.
//   POSIX: libarchive reads every demo entry, in archive order, in one pass.
//   Windows: the first archiver found for the archive's kind (WinRAR's rar.exe,
//   7-Zip's 7z.exe, Windows' own tar.exe) lists it and takes out the first
//   demo entry; see archiver_commands.h.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rw::platform {

// An entry that unpacks to more than this is refused, and reading stops there:
// a small archive must not fill the disk.
inline constexpr uint64_t kMaxArchiveEntrySize = 2ull << 30;

struct ArchiveDemo {
    std::string entry;           // its path inside the archive (UTF-8)
    std::filesystem::path file;  // the demo taken out; empty when it could not be (damaged, too large)
};

enum class ArchiveOutcome {
    read,        // every demo entry taken was handed over
    unreadable,  // no archiver for it, or the archiver could not read it
    noDemo,      // readable, but no entry is a demo
};

// The names this system takes for archives, lower case with their dot (".zip").
std::vector<std::wstring> archiveExtensions();
// Those of them that it opens now: on Windows only those some installed
// archiver opens (a file dialog offers these).
std::vector<std::wstring> openableArchiveExtensions();

// The name ends in one of archiveExtensions(), exactly (case-sensitive).
bool isArchiveName(std::wstring_view name);
// The name without that ending ("pack.tar.gz" gives "pack"); unchanged when it has none.
std::wstring_view withoutArchiveExtension(std::wstring_view name);

// Hands each demo entry to `visit` while its file exists. A demo that cannot
// be taken out is handed over with an empty file and ends the reading.
ArchiveOutcome visitArchiveDemos(const std::filesystem::path& archive,
                                 const std::function<void(const ArchiveDemo&)>& visit,
                                 uint64_t entryLimit = kMaxArchiveEntrySize);

}  // namespace rw::platform
