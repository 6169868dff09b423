#pragma once
#include <cstdio>

namespace rw::platform {

// True when the stream is an interactive terminal (progress is drawn there only).
bool isTerminal(std::FILE* stream);

}  // namespace rw::platform
