#include "app/startup_values_win32.h"

namespace rw::app {

StartupValues& startupValues() {
    static auto* values = new StartupValues;  // never freed, see the header
    return *values;
}

}  // namespace rw::app
