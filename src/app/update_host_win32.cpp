#include "app/update_host_win32.h"

#include <shellapi.h>

#include <atomic>

#include "app/process_win32.h"

namespace rw::app {
namespace {

// Set by the update thread, read by the window thread.
std::atomic<bool> closeHeld{false};

}  // namespace

std::vector<std::wstring> Win32UpdateHost::commandLineArguments() { return processArguments(); }

bool Win32UpdateHost::deleteFile(const std::filesystem::path& path) { return DeleteFileW(path.c_str()) != 0; }

bool Win32UpdateHost::fileExists(const std::filesystem::path& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Win32UpdateHost::sleepMilliseconds(uint32_t ms) { Sleep(ms); }

uint64_t Win32UpdateHost::steadyMilliseconds() { return GetTickCount64(); }

std::optional<std::filesystem::path> Win32UpdateHost::modulePath() { return programPath(); }

bool Win32UpdateHost::moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileW(from.c_str(), to.c_str()) != 0;
}

bool Win32UpdateHost::startProgram(const std::filesystem::path& file, std::wstring_view parameters) {
    const std::wstring params(parameters);
    HINSTANCE r = ShellExecuteW(nullptr, L"open", file.c_str(), params.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

// Both boxes stay on the update thread, owned by the main window; why that
// cannot deadlock is told beside the open-file dialog (check_thread_win32.cpp).
void Win32UpdateHost::showChangeLog(const std::string& text) {
    MessageBoxA(mainWindow_, text.c_str(), "Updateinfo", MB_OK | MB_ICONINFORMATION);
}

bool Win32UpdateHost::confirmUpdate() {
    return MessageBoxW(mainWindow_, L"New Runwarden Version Available\n\nUpdate now?", L"Software Update",
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Posted, not sent: this thread never waits for the window thread.
void Win32UpdateHost::closeMainWindow() { PostMessageW(mainWindow_, WM_CLOSE, kCloseAfterUpdate, 0); }

void Win32UpdateHost::holdClose(bool hold) { closeHeld = hold; }

bool refusesClose(UINT message, WPARAM wParam) {
    const bool fromUser = (message == WM_CLOSE && wParam != kCloseAfterUpdate) ||
                          (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE);
    return fromUser && closeHeld;
}

}  // namespace rw::app
