#pragma once
// Picks the demo to take out of an archive from rar.exe's bare listing. The
// names come from the archive, so they are untrusted: a name that could not
// be a plain Windows file path is skipped, never passed on to the archiver.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rw::app {

// The listing buffer's limit; larger listings are refused.
inline constexpr uint64_t kMaxListingSize = 1u << 20;
// Longest entry name that fits a 260-character text with its terminator.
inline constexpr size_t kMaxEntryLength = 259;

// A chosen file is an archive when its last 4 characters are exactly ".rar".
bool isArchivePath(std::wstring_view path);

// True for a name made of backslash-separated folder and file names that a
// Windows file system can hold, with no characters a command line or the
// shell would treat specially (quotes, percent signs, control characters),
// and that rar.exe cannot take for a switch or a list file (a leading - or @).
bool isSafeEntryName(std::wstring_view entry);

// The entry's file name: what follows its last backslash.
std::wstring_view entryFileName(std::wstring_view entry);

// The first line (lines end in LF or CR LF; the last may end with the data)
// that, read in the OEM code page, ends in ".dem" (case-sensitive), is at most
// kMaxEntryLength characters long and is a safe entry name.
std::optional<std::wstring> firstDemoEntry(std::span<const uint8_t> listing);

}  // namespace rw::app
