// A stand-in for Runwarden.exe in the end-to-end self-update test: a main
// window and an UpdateThread running the real update pass with the real
// Windows host; copies of it are the "newer build" the test server offers.
// The environment names the server laid out as the real ones (RW_E2E_SERVER),
// asks for a build without a release key (RW_E2E_NO_KEY=1)
// and RW_E2E_RESULT, a file each finished pass appends
// "<-delete given 0|1>\t<status code>\t<message text>" to.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>

#include "app/update_host_win32.h"
#include "platform/text.h"

namespace {

std::wstring env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

rw::CheckResult g_result;
rw::ResultBoard g_board;  // what the window sees, as in the program

void updateThread(HWND window) {
    const bool switchGiven = std::wstring(GetCommandLineW()).find(L"-delete ") != std::wstring::npos;
    g_result.board = &g_board;
    rw::UpdateSettings settings;
    const std::string server = rw::platform::wideToUtf8(env(L"RW_E2E_SERVER"));
    settings.updateFolderUrl = server + "/intern/Runwarden/";
    settings.records = {server + "/intern/Runwarden/RecData.dat", server + "/demos_tcl.txt"};
    static constexpr uint8_t kReleaseKey[] = {RW_E2E_RELEASE_KEY};
    if (env(L"RW_E2E_NO_KEY") != L"1") settings.records.releaseKey.assign(std::begin(kReleaseKey), std::end(kReleaseKey));
    rw::app::Win32UpdateHost host(window);
    rw::RecordsDatabase database(L"RecData.dat");
    if (rw::runUpdatePass(g_result, database, host, settings) != rw::UpdatePassEnd::Finished) return;
    if (FILE* f = _wfopen(env(L"RW_E2E_RESULT").c_str(), L"ab")) {
        const std::string text = rw::platform::wideToUtf8(g_result.messageText.view());
        std::fprintf(f, "%d\t%d\t%s\n", switchGiven ? 1 : 0, static_cast<int>(g_result.status()), text.c_str());
        std::fclose(f);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if ((msg == WM_CLOSE || msg == WM_SYSCOMMAND) && rw::app::refusesClose(msg, wp)) return 0;
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"RunwardenUpdateE2E";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Runwarden update test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 280, 410, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);  // so a test can try to close it
    std::thread worker(updateThread, window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    worker.detach();  // as in the program, closing the window ends the process and a running pass with it
    return 0;
}
