#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/async_file.h"

namespace rw::platform {
namespace {

constexpr uint32_t kPiece = 128u << 10;

// Reads on the walk's own thread, a piece at a time as the walk collects
// them, so the bytes are still in its core's cache when they are scanned: for
// files that cannot be mapped. A thread of its own to read ahead cost more
// than it saved, on one core and on two (bench/README.md); the kernel's
// read-ahead already overlaps the disk with the walk.
class PosixFile final : public AsyncFile {
public:
    PosixFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    ~PosixFile() override { ::close(fd_); }

    int64_t size() const override { return size_; }
    int64_t currentSize() const override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    }

    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        req_[slot] = {offset, dst, n, 0, false};
        return dst;
    }

    uint32_t collect(int slot, uint32_t need) override {
        Request& r = req_[slot];
        need = std::min(need, r.n);
        while (r.done < need && !r.ended) readPiece(r);
        return r.done;
    }

    // Nothing is ever in flight.
    void cancelAll() override {}

private:
    struct Request {
        int64_t offset = 0;
        uint8_t* dst = nullptr;
        uint32_t n = 0;
        uint32_t done = 0;   // bytes in place
        bool ended = false;  // the read failed or the file was cut: done is final
    };

    // Reads the piece after the bytes in place. A read racing a cut may
    // deliver zeros without an error, but a cut shortens the file before it
    // drops its pages: the bytes the file still reaches after the read are
    // the file's.
    void readPiece(Request& r) const {
        const uint32_t k = std::min(kPiece, r.n - r.done);
        ssize_t got;
        do {
            got = ::pread(fd_, r.dst + r.done, k, static_cast<off_t>(r.offset + r.done));
        } while (got < 0 && errno == EINTR);
        const int64_t held = got > 0 ? currentSize() - (r.offset + r.done) : 0;
        r.ended = got <= 0 || held < got;
        r.done += static_cast<uint32_t>(std::clamp<int64_t>(held, 0, std::max<ssize_t>(got, 0)));
    }

    const int fd_;
    const int64_t size_;
    Request req_[2];
};


// Mapped files that a cut may leave shorter than their mapping: a touch of a
// page past the new end raises SIGBUS. The handler puts a zero page there and
// lets the walk go on; the size checks of collect and of the reader's finish
// then end the check with the read error. Faults anywhere else go to the
// handler that was there before, or end the process as they would have.
constexpr int kMaxMappings = 256;
struct LiveMapping {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};  // 0 while the entry is free or being filled
    std::atomic<bool> taken{false};
};
LiveMapping gMappings[kMaxMappings];
struct sigaction gPreviousBusAction {};
uintptr_t gPageSize = 4096;

void onBusError(int sig, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (const LiveMapping& m : gMappings) {
        if (at >= m.begin.load(std::memory_order_acquire) && at < m.end.load(std::memory_order_acquire)) {
            const int saved = errno;
            ::mmap(reinterpret_cast<void*>(at & ~(gPageSize - 1)), gPageSize, PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            errno = saved;
            return;
        }
    }
    if ((gPreviousBusAction.sa_flags & SA_SIGINFO) != 0 && gPreviousBusAction.sa_sigaction != nullptr) {
        gPreviousBusAction.sa_sigaction(sig, info, context);
    } else if (gPreviousBusAction.sa_handler != SIG_DFL && gPreviousBusAction.sa_handler != SIG_IGN) {
        gPreviousBusAction.sa_handler(sig);
    } else {
        ::signal(SIGBUS, SIG_DFL);
        ::raise(SIGBUS);
    }
}

bool installBusHandlerOnce() {
    static const bool installed = [] {
        gPageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &gPreviousBusAction) == 0;
    }();
    return installed;
}

// The entry of a mapping in the handler's table; null when the table is full.
LiveMapping* registerMapping(const uint8_t* base, size_t length) {
    for (LiveMapping& m : gMappings) {
        bool free = false;
        if (m.taken.compare_exchange_strong(free, true)) {
            m.begin.store(reinterpret_cast<uintptr_t>(base), std::memory_order_release);
            m.end.store(reinterpret_cast<uintptr_t>(base) + length, std::memory_order_release);
            return &m;
        }
    }
    return nullptr;
}

void unregisterMapping(LiveMapping& m) {
    m.end.store(0, std::memory_order_release);
    m.begin.store(0, std::memory_order_release);
    m.taken.store(false, std::memory_order_release);
}

// The whole file mapped once, read in place: no copy. Only the two windows
// the reader uses are kept in the process's page tables, so its resident
// memory stays bounded. A thread filling the next window's page tables on a
// second core gained nothing from the page cache and made reads from disk
// three times slower (bench/README.md), so the walk's faults fill them.
class MappedFile final : public AsyncFile {
public:
    MappedFile(int fd, int64_t size, uint8_t* base, LiveMapping& entry)
        : fd_(fd), size_(size), base_(base), entry_(entry) {
        ::madvise(base_, static_cast<size_t>(size_), MADV_SEQUENTIAL);
    }

    ~MappedFile() override {
        unregisterMapping(entry_);
        ::munmap(base_, static_cast<size_t>(size_));
        ::close(fd_);
    }

    int64_t size() const override { return size_; }
    int64_t currentSize() const override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    }

    const uint8_t* issue(int slot, int64_t offset, uint8_t*, uint32_t n) override {
        release(window_[slot]);
        window_[slot] = {offset, n};
        return base_ + offset;
    }

    // The bytes are in place as far as the file still reaches.
    uint32_t collect(int slot, uint32_t) override {
        const Window& w = window_[slot];
        return static_cast<uint32_t>(std::clamp<int64_t>(currentSize() - w.offset, 0, w.n));
    }

    void cancelAll() override {}

private:
    struct Window {
        int64_t offset = 0;
        uint32_t n = 0;
    };

    // Drops a window's pages from the page tables; they stay in the page cache.
    void release(const Window& w) {
        if (w.n == 0) return;
        const auto page = static_cast<int64_t>(gPageSize);
        const int64_t from = w.offset / page * page;
        ::madvise(base_ + from, static_cast<size_t>(w.offset + w.n - from), MADV_DONTNEED);
    }

    const int fd_;
    const int64_t size_;
    uint8_t* const base_;
    LiveMapping& entry_;
    Window window_[2];
};

// The file mapped, or null when it cannot be (then it is read with pread).
std::unique_ptr<AsyncFile> mapFile(int fd, int64_t size) {
    if (size <= 0 || !installBusHandlerOnce()) return nullptr;
    void* base = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) return nullptr;
    LiveMapping* entry = registerMapping(static_cast<uint8_t*>(base), static_cast<size_t>(size));
    if (entry == nullptr) {
        ::munmap(base, static_cast<size_t>(size));
        return nullptr;
    }
    return std::make_unique<MappedFile>(fd, size, static_cast<uint8_t*>(base), *entry);
}

}  // namespace

std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path, FileAccess access) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (access == FileAccess::map) {
        if (std::unique_ptr<AsyncFile> mapped = mapFile(fd, static_cast<int64_t>(st.st_size))) return mapped;
    }
    return std::make_unique<PosixFile>(fd, static_cast<int64_t>(st.st_size));
}

}  // namespace rw::platform
