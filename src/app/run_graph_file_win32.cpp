#include "app/run_graph_file_win32.h"

#include <shellapi.h>

#include <array>
#include <cwchar>

#include "platform/archiver_commands.h"
#include "platform/win32/handle.h"

namespace rw::app {
namespace {

std::wstring& graphFile() {
    static auto* path = new std::wstring;  // window thread only; lives until the process ends
    return *path;
}

// A new file of a name no one else holds: CREATE_NEW neither opens nor
// follows what is there already.
platform::KernelHandle createPrivateFile(std::wstring& path) {
    std::array<wchar_t, platform::kPathCapacity> buffer{};
    if (!platform::tempFolderFits(GetTempPathW(platform::kPathCapacity, buffer.data()))) return {};
    const std::wstring folder(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        path = folder + L"Runwarden-graph-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount64() + attempt) + L".svg";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return platform::KernelHandle(file);
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    path.clear();
    return {};
}

}  // namespace

bool openRunGraph(HWND window, const std::string& svg) {
    removeRunGraphFile();
    std::wstring path;
    {
        const platform::KernelHandle file = createPrivateFile(path);
        if (!file) return false;
        graphFile() = path;
        DWORD written = 0;
        if (!WriteFile(file.get(), svg.data(), static_cast<DWORD>(svg.size()), &written, nullptr) ||
            written != svg.size())
            return false;
    }
    const auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(window, L"open", path.c_str(), nullptr, nullptr,
                                                                SW_SHOWNORMAL));
    return opened > 32;
}

void removeRunGraphFile() {
    std::wstring& path = graphFile();
    if (!path.empty()) DeleteFileW(path.c_str());
    path.clear();
}

}  // namespace rw::app
