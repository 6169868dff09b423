#pragma once
// The Windows archive backend's decisions, portable so that they are tested
// natively (Linux's 7zz and bsdtar take the same arguments as 7z.exe and
// tar.exe): which archiver opens an archive, and its command lines.
//
// Archivers are started directly, without a command interpreter, so nothing
// in a path is expanded or re-parsed; each argument is quoted so that the
// standard argument splitting (CommandLineToArgvW, the C runtime) gives it
// back unchanged. Names come after "--", so none is read as a switch.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rw::platform {

enum class Archiver { rar, sevenZip, tar };

// What start-up of a check finds installed; empty: not there.
struct FoundArchivers {
    std::wstring rarFolder;       // WinRAR's folder, from its registry value
    std::wstring sevenZipFolder;  // 7-Zip's folder, from its registry value
    std::wstring tarProgram;      // Windows' own tar.exe, when it exists
};

struct ArchiverChoice {
    Archiver kind = Archiver::rar;
    std::wstring program;  // full path of the program
};

// The longest command line that is run; longer ones are refused, not cut.
inline constexpr size_t kMaxArchiverCommandLine = 2047;
inline constexpr uint32_t kPathCapacity = 260;  // characters, terminator included

// The archive kinds by their exact (case-sensitive) last characters.
inline constexpr std::wstring_view kWindowsArchiveExtensions[] = {L".rar", L".zip", L".7z"};

// The first archiver found that opens the archive, in this order: rar.exe
// (".rar" only), 7z.exe, tar.exe. None for any other name.
std::optional<ArchiverChoice> archiverFor(std::wstring_view archivePath, const FoundArchivers& found);
// The extensions some found archiver opens, in kWindowsArchiveExtensions order.
std::vector<std::wstring> openedExtensions(const FoundArchivers& found);

struct ArchiverCommand {
    std::wstring program;            // full path of the archiver
    std::vector<std::wstring> args;  // the arguments after argument 0
    std::wstring commandLine;        // argument 0 (the program) and the arguments, quoted
};

// Appends `argument` in quotes: backslashes are doubled where they precede a
// quote (escaped or closing) and quotes are escaped.
void appendQuotedArgument(std::wstring& commandLine, std::wstring_view argument);

// Writes the bare entry names on standard output:
//   rar.exe vb -- ARCHIVE
//   7z.exe l -slt -sccUTF-8 -- ARCHIVE
//   tar.exe -t -f ARCHIVE
std::optional<ArchiverCommand> listingCommand(const ArchiverChoice& archiver, std::wstring_view archivePath);
// Takes `entry` out into `folder`:
//   rar.exe x -av- -ep -- ARCHIVE ENTRY FOLDER\      (without its folders)
//   7z.exe e -sccUTF-8 -oFOLDER -- ARCHIVE ENTRY     (without its folders)
//   tar.exe -x -f ARCHIVE -C FOLDER -- ENTRY         (with its folders)
std::optional<ArchiverCommand> extractionCommand(const ArchiverChoice& archiver, std::wstring_view archivePath,
                                                 std::wstring_view entry, std::wstring_view folder);
// Where the extraction puts the entry, relative to its folder (Windows takes
// slashes for backslashes).
std::wstring extractedName(Archiver kind, std::wstring_view entry);

// GetTempPathW's answer for a 260-character buffer: 0 is failure, above 260
// the size it would have needed.
bool tempFolderFits(uint32_t tempPathResult);

// The folder named by a registry value's data (UTF-16 units as read, any
// value type). The data must fit a 260-character buffer with a terminator:
// up to 259 characters and then a terminator or the end of the data.
std::optional<std::wstring> folderFromRegistryValue(std::span<const uint16_t> data);

}  // namespace rw::platform
