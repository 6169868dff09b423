#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/async_file.h"

namespace rw::platform {
namespace {

// Reads are made on the walk's own thread when collected, a piece at a time
// as the walk reaches it: each piece is scanned while it still sits in the
// core's cache, which measured faster than whole 1 MiB reads, a reader thread
// or mappings of the file. The observable windows and results match the
// overlapped Win32 reader.
class PosixFile final : public AsyncFile {
public:
    static constexpr uint32_t piece = 128u << 10;

    PosixFile(int fd, int64_t size) : fd_(fd), size_(size) {}
    ~PosixFile() override { ::close(fd_); }
    int64_t size() const override { return size_; }
    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        req_[slot] = {offset, dst, n, 0};
        return dst;
    }
    uint32_t collect(int slot, uint32_t need) override {
        Request& r = req_[slot];
        const uint32_t target = std::min(r.n, std::max(need, r.done + piece));
        while (r.done < target) {
            const ssize_t got =
                ::pread(fd_, r.dst + r.done, target - r.done, static_cast<off_t>(r.offset + r.done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                r.done = r.n;  // cut or failed: the rest is used as it is
                break;
            }
            r.done += static_cast<uint32_t>(got);
        }
        return r.done;
    }
    void cancelAll() override {
        for (Request& r : req_) {
            if (r.done == 0) r.n = 0;
        }
    }

private:
    struct Request {
        int64_t offset = 0;
        uint8_t* dst = nullptr;
        uint32_t n = 0;
        uint32_t done = 0;
    };
    int fd_;
    int64_t size_;
    Request req_[2];
};

}  // namespace

std::unique_ptr<AsyncFile> openAsyncFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
