#pragma once
// Libraries that only some runs need (libcurl for a refresh, libcrypto for a
// signature) are loaded on their first call, so a check that never touches
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
