#include "platform/archiver_commands.h"

#include <algorithm>
#include <initializer_list>

#include "platform/archive_listing.h"

namespace rw::platform {
namespace {

bool hasNul(std::wstring_view text) { return text.find(L'\0') != std::wstring_view::npos; }

bool endsWith(std::wstring_view text, std::wstring_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Argument 0 is split at quotes without escapes, so it must hold none.
std::optional<std::wstring> programIn(std::wstring_view folder, std::wstring_view name) {
    if (folder.empty() || hasNul(folder) || folder.find(L'"') != std::wstring_view::npos) return std::nullopt;
    std::wstring program(folder);
    if (program.back() != L'\\') program += L'\\';
    return program + std::wstring(name);
}

// A switch or command word goes bare; a name (a path, an entry) in quotes.
struct Argument {
    std::wstring text;
    bool name = false;
};

Argument nameArgument(std::wstring text) { return {std::move(text), true}; }

std::optional<ArchiverCommand> command(const ArchiverChoice& archiver, std::initializer_list<Argument> arguments) {
    if (archiver.program.empty() || hasNul(archiver.program) ||
        archiver.program.find(L'"') != std::wstring::npos)
        return std::nullopt;
    ArchiverCommand result{archiver.program, {}, L"\"" + archiver.program + L"\""};
    for (const Argument& arg : arguments) {
        if (arg.text.empty() || hasNul(arg.text)) return std::nullopt;
        result.commandLine += L' ';
        if (arg.name)
            appendQuotedArgument(result.commandLine, arg.text);
        else
            result.commandLine += arg.text;
        result.args.push_back(arg.text);
    }
    if (result.commandLine.size() > kMaxArchiverCommandLine) return std::nullopt;
    return result;
}

}  // namespace

std::optional<ArchiverChoice> archiverFor(std::wstring_view archivePath, const FoundArchivers& found) {
    if (endsWith(archivePath, L".rar")) {
        if (auto rar = programIn(found.rarFolder, L"rar.exe")) return ArchiverChoice{Archiver::rar, *rar};
    } else if (!endsWith(archivePath, L".zip") && !endsWith(archivePath, L".7z")) {
        return std::nullopt;
    }
    if (auto sevenZip = programIn(found.sevenZipFolder, L"7z.exe"))
        return ArchiverChoice{Archiver::sevenZip, *sevenZip};
    if (!found.tarProgram.empty()) return ArchiverChoice{Archiver::tar, found.tarProgram};
    return std::nullopt;
}

std::vector<std::wstring> openedExtensions(const FoundArchivers& found) {
    std::vector<std::wstring> opened;
    for (std::wstring_view extension : kWindowsArchiveExtensions)
        if (archiverFor(L"a" + std::wstring(extension), found)) opened.emplace_back(extension);
    return opened;
}

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

std::optional<ArchiverCommand> listingCommand(const ArchiverChoice& archiver, std::wstring_view archivePath) {
    const Argument archive = nameArgument(std::wstring(archivePath));
    switch (archiver.kind) {
        case Archiver::rar: return command(archiver, {{L"vb"}, {L"--"}, archive});
        case Archiver::sevenZip: return command(archiver, {{L"l"}, {L"-slt"}, {L"-sccUTF-8"}, {L"--"}, archive});
        case Archiver::tar: return command(archiver, {{L"-t"}, {L"-f"}, archive});
    }
    return std::nullopt;
}

std::optional<ArchiverCommand> extractionCommand(const ArchiverChoice& archiver, std::wstring_view archivePath,
                                                 std::wstring_view entry, std::wstring_view folder) {
    if (folder.empty()) return std::nullopt;
    const Argument archive = nameArgument(std::wstring(archivePath)), name = nameArgument(std::wstring(entry));
    std::wstring into(folder);
    switch (archiver.kind) {
        // A last name ending in a backslash is rar.exe's folder to extract to.
        case Archiver::rar:
            if (into.back() != L'\\') into += L'\\';
            return command(archiver, {{L"x"}, {L"-av-"}, {L"-ep"}, {L"--"}, archive, name, nameArgument(into)});
        case Archiver::sevenZip:
            return command(archiver, {{L"e"}, {L"-sccUTF-8"}, nameArgument(L"-o" + into), {L"--"}, archive, name});
        case Archiver::tar:
            return command(archiver, {{L"-x"}, {L"-f"}, archive, {L"-C"}, nameArgument(into), {L"--"}, name});
    }
    return std::nullopt;
}

std::wstring extractedName(Archiver kind, std::wstring_view entry) {
    return std::wstring(kind == Archiver::tar ? entry : entryFileName(entry));
}

bool tempFolderFits(uint32_t tempPathResult) { return tempPathResult != 0 && tempPathResult <= kPathCapacity; }

std::optional<std::wstring> folderFromRegistryValue(std::span<const uint16_t> data) {
    if (data.size() > kPathCapacity) return std::nullopt;
    const auto end = std::find(data.begin(), data.end(), uint16_t{0});
    const auto length = static_cast<size_t>(end - data.begin());
    // Without a terminator inside the data, one must still fit after it.
    if (length > kPathCapacity - 1) return std::nullopt;
    std::wstring folder;
    folder.reserve(length);
    for (auto it = data.begin(); it != end; ++it) folder.push_back(static_cast<wchar_t>(*it));
    return folder;
}

}  // namespace rw::platform
