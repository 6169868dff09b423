#include <windows.h>

#include "platform/async_file.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

// Overlapped reads with one manual-reset event per slot. A read that fails or
// completes short answers only the bytes the system reports, and a read the
// file no longer holds once it completed (a handle opened before ours cut it)
// only those the file still holds.
class Win32File final : public AsyncFile {
public:
    Win32File(KernelHandle file, int64_t size) : file_(std::move(file)), size_(size) {
        for (int i = 0; i < 2; ++i) {
            event_[i].reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            ZeroMemory(&ov_[i], sizeof ov_[i]);
            ov_[i].hEvent = event_[i].get();
        }
    }
    ~Win32File() override { cancelAll(); }
    int64_t size() const override { return size_; }
    int64_t currentSize() const override {
        LARGE_INTEGER now{};
        return GetFileSizeEx(file_.get(), &now) ? now.QuadPart : 0;
    }

    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        OVERLAPPED& ov = ov_[slot];
        HANDLE ev = ov.hEvent;
        ZeroMemory(&ov, sizeof ov);
        ov.hEvent = ev;
        ResetEvent(ev);
        ov.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
        ov.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
        got_[slot] = 0;
        offset_[slot] = offset;
        live_[slot] = true;
        if (!ReadFile(file_.get(), dst, n, nullptr, &ov) && GetLastError() != ERROR_IO_PENDING) {
            // Failed to start: nothing will complete, so there is nothing to wait for.
            live_[slot] = false;
        }
        return dst;
    }

    // Whole reads only: the first collect waits for the read to complete.
    uint32_t collect(int slot, uint32_t) override {
        wait(slot);
        return got_[slot];
    }

    void cancelAll() override {
        if (!live_[0] && !live_[1]) return;
        CancelIo(file_.get());
        // The system may still write into a cancelled read's buffer until the
        // request completes; wait for it before the slot is reused.
        for (int i = 0; i < 2; ++i) wait(i);
    }

private:
    void wait(int slot) {
        if (!live_[slot]) return;
        DWORD got = 0;
        got_[slot] = GetOverlappedResult(file_.get(), &ov_[slot], &got, TRUE) ? got : 0;
        live_[slot] = false;
        const int64_t held = currentSize() - offset_[slot];
        if (held < got_[slot]) got_[slot] = held > 0 ? static_cast<uint32_t>(held) : 0;
    }

    KernelHandle file_;
    int64_t size_;
    KernelHandle event_[2];
    OVERLAPPED ov_[2]{};
    bool live_[2]{};
    uint32_t got_[2]{};  // bytes the completed read delivered
    int64_t offset_[2]{};
};

}  // namespace

std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path, FileAccess) {
    KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return nullptr;
    return std::make_unique<Win32File>(std::move(file), size.QuadPart);
}

}  // namespace rw::platform
