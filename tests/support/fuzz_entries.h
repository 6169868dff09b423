#pragma once
// What each fuzz target feeds its input to. The fuzz targets and the crasher
// regression test share these so a saved crasher replays exactly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw::fuzz {

// Maps the demo-walk entry knows: "fz0" to "fz3" with detection modes 0 to 3.
inline constexpr const char* kFuzzMapNames[] = {"fz0", "fz1", "fz2", "fz3"};

void demoWalk(const uint8_t* data, size_t size);
void recordsData(const uint8_t* data, size_t size);
void runsList(const uint8_t* data, size_t size);
void steamId(const uint8_t* data, size_t size);
void archiveListing(const uint8_t* data, size_t size);

struct Target {
    const char* name;
    void (*run)(const uint8_t*, size_t);
};
std::vector<Target> targets();

}  // namespace rw::fuzz
