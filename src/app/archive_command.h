#pragma once
// Command lines for WinRAR's console program. rar.exe is started directly,
// without a command interpreter, so nothing in a path is expanded or
// re-parsed; each argument is quoted so that the standard argument splitting
// (CommandLineToArgvW, the C runtime) gives it back unchanged.
#include <optional>
#include <string>
#include <string_view>

namespace rw::app {

// The longest command line that is run; longer ones are refused, not cut.
inline constexpr size_t kMaxArchiverCommandLine = 519;

struct ArchiverCommand {
    std::wstring program;      // full path of rar.exe
    std::wstring commandLine;  // argument 0 (the program) and the arguments
};

// Appends `argument` in quotes: backslashes are doubled where they precede a
// quote (escaped or closing) and quotes are escaped.
void appendQuotedArgument(std::wstring& commandLine, std::wstring_view argument);

// Each command ends rar.exe's switches with "--", so no name after it is read
// as a switch or a list file.
// rar.exe vb -- ARCHIVE: bare entry names, one per line, on standard output.
std::optional<ArchiverCommand> listingCommand(std::wstring_view archiverFolder, std::wstring_view archivePath);
// rar.exe x -av- -ep -- ARCHIVE ENTRY: the entry, without its folders, into
// the current folder.
std::optional<ArchiverCommand> extractionCommand(std::wstring_view archiverFolder, std::wstring_view archivePath,
                                                 std::wstring_view entry);

}  // namespace rw::app
