#pragma once
// A check over a demo held in memory, for tests and fuzzing.
#include <span>

#include "analysis/demo_walk.h"

namespace rw::test {

inline void checkDemoBytes(std::span<const uint8_t> demo, const RecordsDatabase* records, CheckResult& result) {
    checkDemo(platform::openMemoryFile(demo), nullptr, records, result);
}

}  // namespace rw::test
