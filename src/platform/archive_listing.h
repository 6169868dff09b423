#pragma once
// Picks the demo to take out of an archive from an archiver's listing. The
// names come from the archive, so they are untrusted: a name that could not
// be a plain Windows file path is skipped, never passed on to the archiver.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/archiver_commands.h"

namespace rw::platform {

// Longest entry name that fits a 260-character text with its terminator.
inline constexpr size_t kMaxEntryLength = 259;

// The listing buffer's limit; larger listings are refused. rar.exe's bare
// listing is one line an entry; 7-Zip's says a dozen lines about each.
uint64_t maxListingSize(Archiver kind);

// True for a name made of folder and file names, separated by backslashes or
// slashes, that a Windows file system can hold, with no characters a command
// line, the shell or 7-Zip's wildcards would treat specially (quotes, percent
// signs, * and ?, control characters), and that no archiver can take for a
// switch or a list file (a leading - or @).
bool isSafeEntryName(std::wstring_view entry);

// The entry's file name: what follows its last backslash or slash.
std::wstring_view entryFileName(std::wstring_view entry);

// Turns the listing's 8-bit names into wide text: rar.exe writes the OEM
// code page, 7z.exe (-sccUTF-8) UTF-8, tar.exe its locale's code page.
using ListingDecoder = std::wstring (*)(std::string_view bytes);

// The first listed name, in listing order, that ends in ".dem"
// (case-sensitive), is at most kMaxEntryLength characters long and is a safe
// entry name. Lines end in LF or CR LF; the last may end with the data.
//   rar: one bare name a line.
//   sevenZip: "Path = NAME" lines after the "----------" line; folders skipped.
//   tar: one name a line, with bsdtar's escapes (\\, \n, \ooo ...) undone.
std::optional<std::wstring> firstDemoEntry(Archiver kind, std::span<const uint8_t> listing, ListingDecoder decode);

}  // namespace rw::platform
