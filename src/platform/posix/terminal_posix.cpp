#include <unistd.h>

#include "platform/terminal.h"

namespace rw::platform {

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

}  // namespace rw::platform
