#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/async_file.h"
#include "platform/processors.h"

namespace rw::platform {
namespace {

constexpr uint32_t kPiece = 128u << 10;

// Walks (open files) and read threads running in this process. A file gets a
// read thread only while each of them can have a core; a batch that keeps
// every core walking reads on the walks' own threads instead.
std::atomic<unsigned> gBusyCores{0};

unsigned reserveCores(ReadThread mode) {
    if (mode == ReadThread::never) {
        gBusyCores.fetch_add(1);
        return 1;
    }
    static const unsigned cores = usableProcessors();
    unsigned busy = gBusyCores.load();
    for (;;) {
        const unsigned want = mode == ReadThread::always || busy + 2 <= cores ? 2 : 1;
        if (gBusyCores.compare_exchange_weak(busy, busy + want)) return want;
    }
}

void pauseBriefly() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Reads arrive a piece at a time, so the walk starts on a window's first
// piece while the rest is read. With a read thread the copying from the disk
// or the page cache overlaps the walk, as overlapped reads do on Windows;
// without one, the walk's thread reads each piece when it collects it, and
// the bytes are still in its core's cache when they are scanned.
class PosixFile final : public AsyncFile {
public:
    PosixFile(int fd, int64_t size, ReadThread mode) : fd_(fd), size_(size), cores_(reserveCores(mode)) {
        if (cores_ < 2) return;
        try {
            worker_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            gBusyCores.fetch_sub(1);
            cores_ = 1;
        }
    }

    ~PosixFile() override {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        gBusyCores.fetch_sub(cores_);
        ::close(fd_);
    }

    int64_t size() const override { return size_; }
    int64_t currentSize() const override {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    }

    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        {
            std::unique_lock lock(mutex_);
            progress_.wait(lock, [&] { return running_ != slot; });  // its buffer is being written
            Request& r = req_[slot];
            r.offset = offset;
            r.dst = dst;
            r.n = n;
            r.done.store(0, std::memory_order_relaxed);
            r.failed.store(false, std::memory_order_relaxed);
            r.live = true;
            r.collected = false;
            r.ticket = ++tickets_;
        }
        wake_.notify_one();
        return dst;
    }

    uint32_t collect(int slot, uint32_t need) override {
        Request& r = req_[slot];
        r.collected = true;
        if (!worker_.joinable()) return collectHere(r, need);
        // The thread is a piece ahead most of the time: a short wait is
        // cheaper than sleeping and being woken.
        for (int spin = 0; spin < 2000; ++spin) {
            if (settled(r, need)) return r.done.load(std::memory_order_acquire);
            pauseBriefly();
        }
        std::unique_lock lock(mutex_);
        progress_.wait(lock, [&] { return settled(r, need); });
        return r.done.load(std::memory_order_relaxed);
    }

    void cancelAll() override {
        std::unique_lock lock(mutex_);
        for (Request& r : req_) {
            if (!r.collected) r.live = false;
        }
        progress_.wait(lock, [&] { return running_ < 0 || req_[running_].live; });
    }

private:
    struct Request {
        int64_t offset = 0;
        uint8_t* dst = nullptr;
        uint32_t n = 0;
        std::atomic<uint32_t> done{0};    // bytes in place
        std::atomic<bool> failed{false};  // a piece failed or the file ended: done is final
        bool live = false;                // issued and not cancelled
        bool collected = false;           // collected at least once: a cancel leaves it alone
        uint64_t ticket = 0;              // issue order
    };

    static bool settled(const Request& r, uint32_t need) {
        return r.done.load(std::memory_order_acquire) >= need || r.failed.load(std::memory_order_acquire) || !r.live;
    }

    // Reads the piece after the first `from` bytes; answers how many bytes are
    // in place afterwards, none when the read fails or the file ends first (it
    // was cut after open). A cut shortens the file before it drops its pages,
    // so a file still long enough after the read held these bytes during it.
    struct Piece {
        uint32_t done;  // bytes of the request in place
        bool ended;     // the read failed or the file was cut: done is final
    };
    Piece readPiece(const Request& r, uint32_t from) const {
        const uint32_t k = std::min(kPiece, r.n - from);
        ssize_t got;
        do {
            got = ::pread(fd_, r.dst + from, k, static_cast<off_t>(r.offset + from));
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return {from, true};
        const int64_t held = currentSize() - (r.offset + from);
        if (held < got) return {from + static_cast<uint32_t>(std::max<int64_t>(held, 0)), true};
        return {from + static_cast<uint32_t>(got), false};
    }

    uint32_t collectHere(Request& r, uint32_t need) {
        uint32_t done = r.done.load(std::memory_order_relaxed);
        if (!r.live || r.failed.load(std::memory_order_relaxed)) return done;
        need = std::min(need, r.n);
        while (done < need) {
            const Piece next = readPiece(r, done);
            done = next.done;
            if (next.ended) {
                r.failed.store(true, std::memory_order_relaxed);
                break;
            }
        }
        r.done.store(done, std::memory_order_relaxed);
        return done;
    }

    // The live request issued first that still has bytes to read.
    int nextRequest() const {
        int best = -1;
        for (int s = 0; s < 2; ++s) {
            const Request& r = req_[s];
            if (!r.live || r.failed.load(std::memory_order_relaxed) || r.done.load(std::memory_order_relaxed) >= r.n) {
                continue;
            }
            if (best < 0 || r.ticket < req_[best].ticket) best = s;
        }
        return best;
    }

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || nextRequest() >= 0; });
            if (stop_) return;
            running_ = nextRequest();
            Request& r = req_[running_];
            const uint32_t from = r.done.load(std::memory_order_relaxed);
            lock.unlock();
            const Piece next = readPiece(r, from);
            lock.lock();
            r.done.store(next.done, std::memory_order_release);
            if (next.ended) r.failed.store(true, std::memory_order_release);
            running_ = -1;
            progress_.notify_all();
        }
    }

    const int fd_;
    const int64_t size_;
    unsigned cores_;
    std::mutex mutex_;
    std::condition_variable wake_;      // work for the thread, or stop
    std::condition_variable progress_;  // a piece arrived
    Request req_[2];
    uint64_t tickets_ = 0;
    int running_ = -1;  // the slot whose buffer the thread is writing
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace

std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path, ReadThread mode) {
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
    return std::make_unique<PosixFile>(fd, static_cast<int64_t>(st.st_size), mode);
}

}  // namespace rw::platform
