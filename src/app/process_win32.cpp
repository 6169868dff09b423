#include "app/process_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/handle.h"

namespace rw::app {
namespace {

using LocalMemory = platform::UniqueHandle<platform::NullHandleTraits<LPWSTR*, LocalFree>>;

}  // namespace

std::vector<std::wstring> processArguments() {
    std::vector<std::wstring> args;
    int count = 0;
    const LocalMemory argv(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) return args;
    for (int i = 0; i < count; ++i) args.emplace_back(argv.get()[i]);
    return args;
}

std::optional<std::filesystem::path> programPath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A truncated path names some other file; better no path at all.
    if (n == 0 || n >= MAX_PATH) return std::nullopt;
    return std::filesystem::path(path);
}

}  // namespace rw::app
