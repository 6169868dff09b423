#pragma once
// One owning wrapper for every kind of Win32 handle. A traits type names the
// handle type, the value besides null that its API returns for "none", and
// how a valid handle is released:
//   struct Traits {
//       using Handle = ...;
//       static Handle invalid();
//       static void close(Handle h);
//   };
// Both "none" values are kept as null, so a test for a handle is one test.
#include <windows.h>

#include <utility>

namespace rw::platform {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(adopt(h)) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != Handle{}; }
    Handle release() { return std::exchange(h_, Handle{}); }
    void reset(Handle h = Handle{}) {
        const Handle old = std::exchange(h_, adopt(h));
        if (old != Handle{}) Traits::close(old);
    }

private:
    static Handle adopt(Handle h) { return h == Traits::invalid() ? Handle{} : h; }
    Handle h_{};
};

// Traits for handles whose only "none" is null and that one call releases:
// NullHandleTraits<HKEY, RegCloseKey>.
template <typename T, auto Close>
struct NullHandleTraits {
    using Handle = T;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { Close(h); }
};

// Files, events, threads and processes: CreateFileW says "none" with
// INVALID_HANDLE_VALUE, the others with null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;
// CreateThread says "none" with null.
using ThreadHandle = UniqueHandle<NullHandleTraits<HANDLE, CloseHandle>>;

}  // namespace rw::platform
