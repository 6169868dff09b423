#include "app/update_thread_win32.h"

#include "app/startup_values_win32.h"

namespace rw::app {

// Until the update pass is wired in, the window becomes idle at once.
DWORD WINAPI updateThreadMain(void*) {
    setStatusAndRepaint(checkResult(), status::idle);
    return 0;
}

}  // namespace rw::app
