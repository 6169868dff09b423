#include "app/update_thread_win32.h"

#include <filesystem>
#include <system_error>

#include "app/records_hand_over.h"
#include "app/startup_values_win32.h"
#include "app/update_host_win32.h"
#include "app/window_messages_win32.h"
#include "app/window_repaint_win32.h"

namespace rw::app {

DWORD WINAPI updateThreadMain(void*) {
    StartupValues& values = startupValues();
    Win32UpdateHost host(values.mainWindowHandle);
    CheckResult result;
    publishToWindow(result);
    // In full, so the pass does not depend on the current folder staying put.
    std::error_code error;
    std::filesystem::path recordsFile = std::filesystem::absolute("RecData.dat", error);
    if (error) recordsFile = "RecData.dat";
    if (updateAndHandOver(result, values.records, host, defaultUpdateSettings(), recordsFile) ==
        UpdatePassEnd::Finished)
        PostMessageW(values.mainWindowHandle, WM_UPDATEDONE, 0, 0);
    return 0;
}

}  // namespace rw::app
