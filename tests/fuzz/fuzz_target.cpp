// One libFuzzer target; RW_FUZZ_TARGET names the entry it feeds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto run = [] {
        for (const rw::fuzz::Target& t : rw::fuzz::targets())
            if (std::string_view(t.name) == RW_FUZZ_TARGET) return t.run;
        __builtin_trap();
    }();
    run(data, size);
    return 0;
}
