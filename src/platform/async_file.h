#pragma once
// Asynchronous positioned reads for the demo reader: up to two reads in flight,
// one per request slot. The Win32 backend uses overlapped ReadFile; the POSIX
// backend maps the file, or reads it piece by piece as it is collected; the
// in-memory one has nothing to read.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace rw::platform {

class AsyncFile {
public:
    virtual ~AsyncFile() = default;
    virtual int64_t size() const = 0;
    // The size now, which another program may have changed since open; 0
    // when it cannot be told.
    virtual int64_t currentSize() const = 0;
    // Starts reading n bytes at offset for the given slot (0 or 1), into dst
    // or into memory of the backend's own (a mapping of the file), and answers
    // where the bytes will be once collected; valid until the slot's next
    // issue or a cancel. dst stays owned by the caller and must live as long.
    virtual const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) = 0;
    // Waits until at least the first `need` bytes of the slot's read are in
    // place and answers how many are (need <= answer <= n). When the read
    // fails, or the file ends before the size known at open, it answers the
    // bytes that did arrive, fewer than need: the rest of dst is not the file's.
    // Bytes count as arrived only when the file still held them after they
    // were read: a read racing a cut may deliver zeros without an error.
    virtual uint32_t collect(int slot, uint32_t need) = 0;
    // Cancels every read not yet collected and waits until the system no
    // longer touches their buffers, so the slots can be reused at once. A
    // partly collected read stays collectable.
    virtual void cancelAll() = 0;
};

// How a POSIX file's bytes reach the reader: mapped (no copy) where the
// system can map the file, else copied; or copied always. Windows reads are
// overlapped either way.
enum class FileAccess { map, copy };

// Opens an existing file for reading, with no sharing where the OS has share
// modes. Null when it cannot be opened.
std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path, FileAccess access = FileAccess::map);

}  // namespace rw::platform
