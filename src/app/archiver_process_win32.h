#pragma once
// Runs WinRAR's console program directly (no command interpreter) and waits.
#include <windows.h>

#include <optional>

#include "app/archive_command.h"

namespace rw::app {

// Standard output goes to `output` when given, else to the null device; the
// program reads its standard input from the null device, so a question it
// asks (overwrite, password) ends it instead of waiting forever. Returns the
// exit code, or none when the program could not be started.
std::optional<DWORD> runArchiver(const ArchiverCommand& command, HANDLE output);

}  // namespace rw::app
