#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/async_file.h"

namespace rw::platform {
namespace {

constexpr uint32_t kPiece = 128u << 10;

// Reads on the walk's own thread, a piece at a time as the walk collects
// them, so the bytes are still in its core's cache when they are scanned. A
// thread of its own to read ahead cost more than it saved, on one core and on
// two (bench/README.md); the kernel's read-ahead already overlaps the disk
// with the walk.
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
