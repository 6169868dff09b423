#include "app/archive_command.h"

namespace rw::app {
namespace {

bool hasNul(std::wstring_view text) { return text.find(L'\0') != std::wstring_view::npos; }

std::optional<std::wstring> archiverProgram(std::wstring_view folder) {
    // Argument 0 is split at quotes without escapes, so it must hold none.
    if (hasNul(folder) || folder.find(L'"') != std::wstring_view::npos) return std::nullopt;
    std::wstring program(folder);
    if (program.empty() || program.back() != L'\\') program += L'\\';
    program += L"rar.exe";
    return program;
}

std::optional<ArchiverCommand> finish(std::wstring program, std::wstring commandLine) {
    if (commandLine.size() > kMaxArchiverCommandLine) return std::nullopt;
    return ArchiverCommand{std::move(program), std::move(commandLine)};
}

}  // namespace

void appendQuotedArgument(std::wstring& commandLine, std::wstring_view argument) {
    commandLine += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            commandLine.append(backslashes * 2 + 1, L'\\');
        } else {
            commandLine.append(backslashes, L'\\');
        }
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
}

std::optional<ArchiverCommand> listingCommand(std::wstring_view archiverFolder, std::wstring_view archivePath) {
    auto program = archiverProgram(archiverFolder);
    if (!program || archivePath.empty() || hasNul(archivePath)) return std::nullopt;
    std::wstring line = L"\"" + *program + L"\" vb -- ";
    appendQuotedArgument(line, archivePath);
    return finish(std::move(*program), std::move(line));
}

std::optional<ArchiverCommand> extractionCommand(std::wstring_view archiverFolder, std::wstring_view archivePath,
                                                 std::wstring_view entry) {
    auto program = archiverProgram(archiverFolder);
    if (!program || archivePath.empty() || entry.empty() || hasNul(archivePath) || hasNul(entry)) return std::nullopt;
    std::wstring line = L"\"" + *program + L"\" x -av- -ep -- ";
    appendQuotedArgument(line, archivePath);
    line += L' ';
    appendQuotedArgument(line, entry);
    return finish(std::move(*program), std::move(line));
}

}  // namespace rw::app
