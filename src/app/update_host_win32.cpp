#include "app/update_host_win32.h"

#include <shellapi.h>

#include <atomic>

#include "platform/win32/handle.h"

namespace rw::app {
namespace {

using LocalMemory = platform::UniqueHandle<platform::NullHandleTraits<LPWSTR*, LocalFree>>;

// Set by the update thread, read by the window thread.
std::atomic<bool> closeHeld{false};

}  // namespace

std::vector<std::wstring> processArguments() {
    std::vector<std::wstring> args;
    int count = 0;
    const LocalMemory argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(argv.get()[i]);
    return args;
}

std::vector<std::wstring> Win32UpdateHost::commandLineArguments() { return processArguments(); }

bool Win32UpdateHost::deleteFile(const std::filesystem::path& path) { return DeleteFileW(path.c_str()) != 0; }

bool Win32UpdateHost::fileExists(const std::filesystem::path& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Win32UpdateHost::sleepMilliseconds(uint32_t ms) { Sleep(ms); }

uint64_t Win32UpdateHost::steadyMilliseconds() { return GetTickCount64(); }

std::optional<std::filesystem::path> programPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A truncated path names some other file; better no path at all.
    if (n == 0 || n >= MAX_PATH) return std::nullopt;
    return std::filesystem::path(path);
}

std::optional<std::filesystem::path> Win32UpdateHost::modulePath() { return programPath(); }

bool Win32UpdateHost::moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileW(from.c_str(), to.c_str()) != 0;
}

bool Win32UpdateHost::startProgram(const std::filesystem::path& file, std::wstring_view parameters) {
    const std::wstring params(parameters);
    HINSTANCE r = ShellExecuteW(nullptr, L"open", file.c_str(), params.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

void Win32UpdateHost::showChangeLog(const std::string& text) {
    MessageBoxA(mainWindow_, text.c_str(), "Updateinfo", MB_OK | MB_ICONINFORMATION);
}

bool Win32UpdateHost::confirmUpdate() {
    return MessageBoxW(mainWindow_, L"New Runwarden Version Available\n\nUpdate now?", L"Software Update",
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Posted, not sent: the window thread may be waiting for this thread to end.
void Win32UpdateHost::closeMainWindow() { PostMessageW(mainWindow_, WM_CLOSE, kCloseAfterUpdate, 0); }

void Win32UpdateHost::holdClose(bool hold) { closeHeld = hold; }

bool refusesClose(UINT message, WPARAM wParam) {
    const bool fromUser = (message == WM_CLOSE && wParam != kCloseAfterUpdate) ||
                          (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
    return fromUser && closeHeld;
}

}  // namespace rw::app
