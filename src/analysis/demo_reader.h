#pragma once
// Double-buffered reader for one demo file: two 1 MiB windows. On Windows the
// next MiB is already being read while the walk consumes the current one;
// elsewhere the walk reads each piece as it reaches it, while the kernel reads
// ahead from the disk. Reads are served from memory. A read that
// fails or finds the file shorter than at open ends the serving: every read
// after it fails, so no byte that is not the file's is ever handed out. A file
// cut after its bytes were read is caught by finish, when the walk ends.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/default_init_allocator.h"
#include "platform/async_file.h"

namespace rw {

enum class ReaderState : uint8_t {
    usable,
    cannotOpen,  // missing, not a plain file, held by another program, or empty
    readFailed,  // a read failed or the file shrank: nothing more is served
};

class DemoReader {
public:
    static constexpr uint32_t chunk = 1u << 20;

    DemoReader() = default;
    ~DemoReader() { close(); }
    DemoReader(const DemoReader&) = delete;
    DemoReader& operator=(const DemoReader&) = delete;

    // Reads through a file already opened; null is a file that cannot be opened.
    ReaderState open(std::unique_ptr<platform::AsyncFile> file);
    void close();

    ReaderState state() const { return state_; }
    int64_t size() const { return size_; }
    // The state once the walk is over: a file that no longer holds every byte
    // read from it makes it readFailed.
    ReaderState finish();

    // Copies count bytes at position into destination, advances position by
    // what was copied, and answers true only when all count bytes were copied.
    bool read(int64_t& position, void* destination, uint32_t count) {
        const int i = last_;
        if (position >= windowStart_[i] && position < readyEnd_[i] &&
            count <= static_cast<uint64_t>(readyEnd_[i] - position)) {
            std::memcpy(destination, bytes_[i] + (position - windowStart_[i]), count);
            position += count;
            return true;
        }
        return readSlow(position, static_cast<uint8_t*>(destination), count);
    }

    // The count bytes at position, in place, when they lie inside one window
    // (after the same buffer bookkeeping a read would do); null otherwise.
    const uint8_t* viewInPlace(int64_t position, uint32_t count) {
        const int i = last_;
        if (position >= windowStart_[i] && position < readyEnd_[i] &&
            count <= static_cast<uint64_t>(readyEnd_[i] - position)) {
            return bytes_[i] + (position - windowStart_[i]);
        }
        return viewSlow(position, count);
    }

    // Asks the memory for the bytes of the current window up to a few pages
    // past position. Mapped bytes come from main memory, and a walk that only
    // reads each frame's fixed part would otherwise wait for every frame.
    void prefetch(int64_t position) {
        const int i = last_;
        if (position < windowStart_[i] || position >= readyEnd_[i]) return;
        int64_t at = std::max(prefetched_, position);
        const int64_t to = std::min(position + kPrefetchAhead, readyEnd_[i]);
        for (; at < to; at += 64) __builtin_prefetch(bytes_[i] + (at - windowStart_[i]));
        prefetched_ = std::max(prefetched_, at);
    }

private:
    static constexpr int64_t kPrefetchAhead = 8 << 10;

    bool readSlow(int64_t& position, uint8_t* destination, uint32_t count);
    const uint8_t* viewSlow(int64_t position, uint32_t count);
    int chooseWindow(int64_t position);
    void makeReady(int i, int64_t end);
    void issue(int i, int64_t position);
    void cancelAll();
    void failReads();

    std::unique_ptr<platform::AsyncFile> file_;
    // Filled only when the backend copies; a mapped file never touches them.
    using Buffer = std::vector<uint8_t, DefaultInitAllocator<uint8_t>>;
    Buffer buffer_[2];
    const uint8_t* bytes_[2] = {nullptr, nullptr};  // where window i's bytes are: its buffer, or the backend's
    int64_t size_ = 0;
    ReaderState state_ = ReaderState::cannotOpen;
    int64_t windowStart_[2] = {0, 0};
    int64_t windowEnd_[2] = {0, 0};
    // One past the last byte of window i that has arrived: windowStart while
    // pending, up to windowEnd as the backend delivers.
    int64_t readyEnd_[2] = {0, 0};
    uint8_t pending_[2] = {0, 0};
    int last_ = 0;
    int64_t readEnd_ = 0;     // one past the furthest byte read
    int64_t prefetched_ = 0;  // one past the furthest byte asked for
};

}  // namespace rw
