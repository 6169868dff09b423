#pragma once
// What each fuzz target feeds its input to. The fuzz targets and the crasher
// regression test share these so a saved crasher replays exactly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw::fuzz {

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
