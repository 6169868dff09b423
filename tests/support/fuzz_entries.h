#pragma once
// What each fuzz target feeds its input to. The fuzz targets and the crasher
// regression test share these so a saved crasher replays exactly.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rw::fuzz {

struct Target {
    const char* name;
    void (*run)(const uint8_t*, size_t);
};
std::vector<Target> targets();

}  // namespace rw::fuzz
