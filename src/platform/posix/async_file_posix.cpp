#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/async_file.h"

namespace rw::platform {
namespace {

// Reads run on a thread of the file's own, so the next MiB is copied from the
// disk or page cache while the walk works on the current one, as overlapped
// reads do on Windows.
class PosixFile final : public AsyncFile {
public:
    PosixFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    ~PosixFile() override {
        cancelAll();
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        ::close(fd_);
    }
    int64_t size() const override { return size_; }

    void issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        {
            std::lock_guard lock(mutex_);
            req_[slot] = {offset, dst, n, State::queued};
            queue_.push_back(slot);
            if (!worker_.joinable()) worker_ = std::thread([this] { serve(); });
        }
        wake_.notify_all();
    }

    void collect(int slot) override {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return req_[slot].state != State::queued && req_[slot].state != State::running; });
        req_[slot].state = State::idle;
    }

    void cancelAll() override {
        std::unique_lock lock(mutex_);
        queue_.clear();
        for (Request& r : req_)
            if (r.state == State::queued) r.state = State::idle;
        // A read already under way writes into its buffer until it returns.
        done_.wait(lock, [&] { return req_[0].state != State::running && req_[1].state != State::running; });
        for (Request& r : req_) r.state = State::idle;
    }

private:
    enum class State { idle, queued, running, done };
    struct Request {
        int64_t offset = 0;
        uint8_t* dst = nullptr;
        uint32_t n = 0;
        State state = State::idle;
    };

    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            const int slot = queue_.front();
            queue_.pop_front();
            Request r = req_[slot];
            req_[slot].state = State::running;
            lock.unlock();
            readAt(r);
            lock.lock();
            req_[slot].state = State::done;
            done_.notify_all();
        }
    }

    void readAt(const Request& r) const {
        uint32_t got = 0;
        while (got < r.n) {
            const ssize_t k = ::pread(fd_, r.dst + got, r.n - got, static_cast<off_t>(r.offset + got));
            if (k < 0 && errno == EINTR) continue;
            if (k <= 0) break;
            got += static_cast<uint32_t>(k);
        }
    }

    int fd_;
    int64_t size_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<int> queue_;
    Request req_[2];
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace

std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path) {
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
    return std::make_unique<PosixFile>(fd, static_cast<int64_t>(st.st_size));
}

}  // namespace rw::platform
