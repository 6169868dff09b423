// Archives through the archivers a player may have installed, each run as a
// program of its own: WinRAR's rar.exe, 7-Zip's 7z.exe, Windows' own tar.exe.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform/archive.h"
#include "platform/archive_listing.h"
#include "platform/archiver_commands.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

using RegistryKey = UniqueHandle<NullHandleTraits<HKEY, RegCloseKey>>;

constexpr auto kArchiverDeadline = std::chrono::seconds(120);

bool programExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder a registry value names, when the program is in it.
std::wstring folderHolding(HKEY root, const wchar_t* key, const wchar_t* value, const wchar_t* program) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return {};
    const RegistryKey guard(opened);
    std::array<uint16_t, kPathCapacity> data{};
    DWORD size = sizeof data;
    if (RegQueryValueExW(opened, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    const auto folder = folderFromRegistryValue(std::span(data.data(), std::min<size_t>(size / 2, data.size())));
    if (!folder || folder->empty()) return {};
    const std::wstring separator = folder->back() == L'\\' ? L"" : L"\\";
    return programExists(*folder + separator + program) ? *folder : std::wstring();
}

// Looked up for every check, so that an archiver installed meanwhile counts.
FoundArchivers findArchivers() {
    FoundArchivers found;
    // WinRAR's self-extractors remember its folder under this odd value name.
    found.rarFolder = folderHolding(HKEY_CURRENT_USER, L"Software\\WinRAR SFX", L"C%%Program Files%WinRAR", L"rar.exe");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const wchar_t* value : {L"Path64", L"Path"}) {
            if (found.sevenZipFolder.empty())
                found.sevenZipFolder = folderHolding(root, L"SOFTWARE\\7-Zip", value, L"7z.exe");
        }
    }
    std::array<wchar_t, MAX_PATH> system{};
    const UINT length = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (length > 0 && length < system.size()) {
        const std::wstring tar = std::wstring(system.data(), length) + L"\\tar.exe";
        if (programExists(tar)) found.tarProgram = tar;
    }
    return found;
}

std::optional<std::wstring> tempFolder() {
    std::array<wchar_t, kPathCapacity> buffer{};
    const DWORD length = GetTempPathW(kPathCapacity, buffer.data());
    if (!tempFolderFits(length)) return std::nullopt;
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

// A fresh folder of this check's own in the temporary folder, removed with
// all it holds.
class PrivateFolder {
public:
    explicit PrivateFolder(const std::wstring& temp) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::wstring name = temp + L"RW" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                      std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
            if (CreateDirectoryW(name.c_str(), nullptr)) path_ = name;
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

std::wstring ansiToWide(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX));
    std::wstring text(static_cast<size_t>(size), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), size)));
    return text;
}

ListingDecoder decoderFor(Archiver kind) {
    switch (kind) {
        case Archiver::rar: return oemToWide;
        case Archiver::sevenZip: return utf8ToWide;
        case Archiver::tar: return ansiToWide;
    }
    return oemToWide;
}

KernelHandle openNullDevice(DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return KernelHandle(
        CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
}

// The child inherits exactly its three standard handles, nothing else that
// happens to be inheritable at the time.
class HandleList {
public:
    explicit HandleList(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size && InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            initialised_ = true;
            if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                          handles_.size() * sizeof(HANDLE), nullptr, nullptr))
                list_ = list;
        }
    }
    HandleList(const HandleList&) = delete;
    HandleList& operator=(const HandleList&) = delete;
    ~HandleList() {
        if (initialised_) DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> storage_;
    bool initialised_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Runs the archiver in `folder` and waits for it until the deadline; past it
// the archiver is ended. Standard output goes to `output` when given, else to
// the null device; standard input is the null device, so a question it asks
// (overwrite, password) ends it instead of waiting forever. The exit code, or
// none when it could not be started or ran out of time.
std::optional<DWORD> runArchiver(const ArchiverCommand& command, HANDLE output, const std::wstring& folder,
                                 std::chrono::steady_clock::time_point deadline) {
    KernelHandle input = openNullDevice(GENERIC_READ);
    KernelHandle discard = openNullDevice(GENERIC_WRITE);
    if (!input || !discard) return std::nullopt;
    const HANDLE out = output ? output : discard.get();

    std::vector<HANDLE> inherited{input.get(), discard.get()};
    if (out != discard.get()) inherited.push_back(out);
    HandleList handles(inherited);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = handles.get() ? sizeof(STARTUPINFOEXW) : sizeof(STARTUPINFOW);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = out;
    startup.StartupInfo.hStdError = discard.get();
    startup.lpAttributeList = handles.get();
    // No console at all: nothing flashes on screen, and no console host holds
    // on to the redirected handles after the program has ended.
    DWORD flags = DETACHED_PROCESS;
    if (handles.get()) flags |= EXTENDED_STARTUPINFO_PRESENT;

    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> commandLine(command.commandLine.begin(), command.commandLine.end());
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(command.program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        folder.c_str(), &startup.StartupInfo, &process))
        return std::nullopt;
    KernelHandle processHandle(process.hProcess);
    KernelHandle threadHandle(process.hThread);

    using std::chrono::milliseconds;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    const DWORD wait = static_cast<DWORD>(std::clamp<int64_t>(left.count(), 0, INFINITE - 1));
    if (WaitForSingleObject(processHandle.get(), wait) != WAIT_OBJECT_0) {
        TerminateProcess(processHandle.get(), 1);
        WaitForSingleObject(processHandle.get(), INFINITE);  // its files are closed before the folder goes
        return std::nullopt;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode)) return std::nullopt;
    return exitCode;
}

// The archiver's listing, written into a file in the private folder.
std::optional<std::vector<uint8_t>> listArchive(const ArchiverChoice& archiver, const std::wstring& archive,
                                               const std::wstring& folder,
                                               std::chrono::steady_clock::time_point deadline) {
    const auto command = listingCommand(archiver, archive);
    const std::wstring listing = folder + L"\\listing.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    {
        KernelHandle output(
            CreateFileW(listing.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_NEW, 0, nullptr));
        if (!command || !output) return std::nullopt;
        const auto exitCode = runArchiver(*command, output.get(), folder, deadline);
        if (!exitCode || *exitCode != 0) return std::nullopt;
    }
    auto bytes = readFileBounded(listing, 1, maxListingSize(archiver.kind));
    if (!bytes) return std::nullopt;
    return std::move(*bytes);
}

}  // namespace

std::vector<std::wstring> archiveExtensions() {
    return {std::begin(kWindowsArchiveExtensions), std::end(kWindowsArchiveExtensions)};
}

std::vector<std::wstring> openableArchiveExtensions() {
    return tempFolder() ? openedExtensions(findArchivers()) : std::vector<std::wstring>{};
}

ArchiveOutcome visitArchiveDemos(const std::filesystem::path& archivePath,
                                 const std::function<void(const ArchiveDemo&)>& visit, uint64_t) {
    // The archiver runs in the private folder, so it gets the archive's full path.
    std::error_code ec;
    const std::wstring archive = std::filesystem::absolute(archivePath, ec).wstring();
    if (ec) return ArchiveOutcome::unreadable;
    const auto archiver = archiverFor(archive, findArchivers());
    const auto temp = tempFolder();
    if (!archiver || !temp) return ArchiveOutcome::unreadable;
    const PrivateFolder folder(*temp);
    if (folder.path().empty()) return ArchiveOutcome::unreadable;
    const auto deadline = std::chrono::steady_clock::now() + kArchiverDeadline;

    const auto listing = listArchive(*archiver, archive, folder.path(), deadline);
    if (!listing) return ArchiveOutcome::unreadable;
    const auto entry = firstDemoEntry(archiver->kind, *listing, decoderFor(archiver->kind));
    if (!entry) return ArchiveOutcome::noDemo;

    ArchiveDemo demo{wideToUtf8(*entry), {}};
    const auto extraction = extractionCommand(*archiver, archive, *entry, folder.path());
    const auto exitCode = extraction ? runArchiver(*extraction, nullptr, folder.path(), deadline) : std::nullopt;
    // rar.exe's exit code is not examined: a demo it did not write fails when it is opened.
    const bool done = exitCode && (*exitCode == 0 || archiver->kind == Archiver::rar);
    if (done) demo.file = std::filesystem::path(folder.path()) / extractedName(archiver->kind, *entry);
    visit(demo);
    return ArchiveOutcome::read;
}

}  // namespace rw::platform
