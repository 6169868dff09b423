#pragma once
// Libraries that only some runs need (libcurl for a refresh, libcrypto for a
// signature, libarchive for an archive) are loaded on their first call, so a check that never touches
// the network starts without them and their dependencies. The *_library_posix
// files define the C functions the backends call, each forwarding to the
// library's own; a missing library makes every call fail as the library's
// own failure would.
#include <dlfcn.h>

namespace rw::platform {

// The function `name` of the shared library `soname`, loaded once and never
// unloaded; null when either is missing.
template <class F>
F lazyFunction(const char* soname, const char* name) {
    void* library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
}

}  // namespace rw::platform

// Defines the C function `name` to forward to the one of the library
// `soname`, answering `missing` without it.
#define RW_FORWARD(soname, result, name, params, args, missing)                                     \
    result name params {                                                                          \
        static const auto f = rw::platform::lazyFunction<decltype(&name)>(soname, #name);           \
        if (!f) return missing;                                                                   \
        return f args;                                                                            \
    }
