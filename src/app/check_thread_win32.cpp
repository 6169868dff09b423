#include "app/check_thread_win32.h"

#include <commdlg.h>

#include <array>
#include <cwchar>
#include <filesystem>

#include "analysis/demo_walk.h"
#include "app/archive_extraction_win32.h"
#include "app/archive_listing.h"
#include "app/startup_values_win32.h"

namespace rw::app {
namespace {

// Filter lists: pairs of description and pattern, ended by an empty pair.
constexpr wchar_t kFilterWithArchives[] =
    L"Demo Files (*.dem; *.rar)\0*.dem;*.rar\0All Files (*.*)\0*.*\0";
constexpr wchar_t kFilterDemosOnly[] = L"Demo Files (*.dem)\0*.dem\0All Files (*.*)\0*.*\0";

void runCheck() {
    CheckResult result;  // this check's own; the window sees only what it publishes
    publishToWindow(result);
    const StartupValues& values = startupValues();

    std::array<wchar_t, MAX_PATH> chosen{};
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = values.mainWindowHandle;
    request.lpstrFilter = values.archiverFound ? kFilterWithArchives : kFilterDemosOnly;
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.lpstrTitle = L"Open cstrike demo";
    request.lpstrDefExt = L"dem";
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&request)) {
        requestRepaint(result);  // cancelled: the status stays as it was
        return;
    }
    chosen.back() = L'\0';
    const std::wstring_view path(chosen.data(), wcsnlen(chosen.data(), chosen.size()));
    result.demoName.assign(demoNameFromPath(path));

    if (!isArchivePath(path)) {
        checkDemoFile(std::filesystem::path(path), false, values.records, result);
        return;
    }
    const auto demo = extractFirstDemo(path, result);
    if (!demo) return;
    result.demoName.assign(std::wstring_view(demo->fileName).substr(0, demo->fileName.size() - 4));
    checkDemoFile(demo->path, true, values.records, result);
}

}  // namespace

DWORD WINAPI checkThreadMain(void*) {
    runCheck();
    PostMessageW(startupValues().mainWindowHandle, WM_CHECKDONE, 0, 0);
    return 0;
}

}  // namespace rw::app
