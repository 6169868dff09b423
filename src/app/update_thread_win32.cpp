#include "app/update_thread_win32.h"

#include "app/startup_values_win32.h"
#include "app/update_host_win32.h"
#include "update/self_update.h"

namespace rw::app {

DWORD WINAPI updateThreadMain(void*) {
    StartupValues& values = startupValues();
    Win32UpdateHost host(values.mainWindowHandle);
    CheckResult result;
    publishToWindow(result);
    UpdatePassEnd end = UpdatePassEnd::Finished;
    // A failure ends the pass with a message; the program keeps running.
    try {
        end = runUpdatePass(result, *values.records, host, defaultUpdateSettings());
    } catch (const std::exception&) {
        host.holdClose(false);
        reportFailure(result, kUpdateFailedText, -1);
    }
    if (end == UpdatePassEnd::Finished) PostMessageW(values.mainWindowHandle, WM_UPDATEDONE, 0, 0);
    return 0;
}

}  // namespace rw::app
