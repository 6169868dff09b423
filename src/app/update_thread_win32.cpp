#include "app/update_thread_win32.h"

#include "app/startup_values_win32.h"
#include "app/update_host_win32.h"
#include "records/self_update.h"

namespace rw::app {
namespace {

UpdateSettings updateSettings() {
    UpdateSettings settings = defaultUpdateSettings();
#ifdef RW_APP_TEST_SERVER
    // The GUI tests' build: both servers are one local test server.
    settings.updateFolderUrl = RW_APP_TEST_SERVER "/intern/Runwarden/";
    settings.records = RecordsSources{RW_APP_TEST_SERVER "/intern/Runwarden/RecData.dat",
                                      RW_APP_TEST_SERVER "/demos_tcl.txt"};
#endif
    return settings;
}

}  // namespace

DWORD WINAPI updateThreadMain(void*) {
    StartupValues& values = startupValues();
    Win32UpdateHost host(values.mainWindowHandle);
    CheckResult result;
    publishToWindow(result);
    runUpdatePass(result, *values.records, host, updateSettings());
    return 0;
}

}  // namespace rw::app
