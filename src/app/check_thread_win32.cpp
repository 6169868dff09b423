#include "app/check_thread_win32.h"

#include <commdlg.h>

#include <array>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "analysis/archive_check.h"
#include "analysis/check_report.h"
#include "analysis/demo_walk.h"
#include "analysis/run_graph.h"
#include "app/file_to_check.h"
#include "app/startup_values_win32.h"
#include "app/window_messages_win32.h"
#include "app/window_repaint_win32.h"
#include "platform/archive.h"
#include "platform/text.h"

namespace rw::app {
namespace {

// The file the user picks in the open-file dialog; none when cancelled.
//
// The dialog, like the update pass's two message boxes, runs on the worker
// that needs its answer, owned by the main window. A modal window owned
// across threads disables its owner and sends it messages (enabling,
// activation) that the window thread must answer; that deadlocks only if the
// window thread waits for the worker, and it never does: it starts workers
// and reads what they publish, nothing more. Shown on the window thread
// instead, the dialog would make the worker wait for the window, and its
// modal loop would run the window procedure re-entrantly (a close, a second
// check) in the middle of a message. Here the window keeps painting while
// the dialog is up.
std::optional<std::wstring> askForFile(const StartupValues& values) {
    std::array<wchar_t, MAX_PATH> chosen{};
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = values.mainWindowHandle;
    const std::wstring filter = dialogFilter(platform::openableArchiveExtensions());
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.lpstrTitle = L"Open cstrike demo";
    request.lpstrDefExt = L"dem";
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&request)) return std::nullopt;
    chosen.back() = L'\0';
    return std::wstring(chosen.data(), wcsnlen(chosen.data(), chosen.size()));
}

// The check, with its run graph published after the result it belongs to.
void checkAndDraw(const std::filesystem::path& demo, const RecordsDatabase* records, CheckResult& result) {
    const auto series = std::make_unique<RunSeries>();
    checkDemoFile(demo, false, records, result, series.get());
    if (result.status() != status::finished) return;
    result.runGraph = std::make_shared<const std::string>(
        runGraphSvg(makeReport({}, result, status::finished, records), *series));
    setStatusAndRepaint(result, status::finished);
}

// True when a file was checked, false when the dialog was cancelled.
bool runCheck(std::optional<std::wstring> given) {
    CheckResult result;  // this check's own; the window sees only what it publishes
    publishToWindow(result);
    const StartupValues& values = startupValues();

    const std::optional<std::wstring> file = given ? std::move(given) : askForFile(values);
    if (!file) {
        requestRepaint(result);  // cancelled: the status stays as it was
        return false;
    }
    const std::wstring_view path = *file;

    if (!platform::isArchiveName(path)) {
        result.demoName.assign(demoNameFromPath(path));
        checkAndDraw(std::filesystem::path(path), values.records.take(), result);
        return true;
    }
    // An archive that gives no demo is named without its ending.
    result.demoName.assign(archiveNameFromPath(path));
    // The demo is taken out into a private folder and checked there by its
    // full path; the folder is gone when this returns.
    const platform::ArchiveOutcome outcome =
        platform::visitArchiveDemos(std::filesystem::path(path), [&](const platform::ArchiveDemo& demo) {
            result.demoName.assign(demoNameFromPath(platform::utf8ToWide(demo.entry)));
            checkAndDraw(demo.file, values.records.take(), result);
        });
    if (outcome != platform::ArchiveOutcome::read) reportArchiveWithoutDemo(outcome, result);
    return true;
}

}  // namespace

DWORD WINAPI checkThreadMain(void* file) {
    std::unique_ptr<std::wstring> given(static_cast<std::wstring*>(file));
    bool checked = true;
    // A failure ends this check with a message; the program keeps running.
    try {
        checked = runCheck(given ? std::optional<std::wstring>(std::move(*given)) : std::nullopt);
    } catch (const std::exception&) {
        CheckResult result;
        publishToWindow(result);
        reportFailure(result, L"The check failed.", -1);
    }
    PostMessageW(startupValues().mainWindowHandle, WM_CHECKDONE, checked, 0);
    return 0;
}

}  // namespace rw::app
