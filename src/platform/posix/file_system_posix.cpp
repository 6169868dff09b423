#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_system.h"

namespace rw::platform {
namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

bool readFully(int fd, uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd, dst + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool writeFully(int fd, const uint8_t* src, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t put = ::write(fd, src + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

Failure readFailure() { return Failure{FailureKind::system, "cannot be read"}; }

Failure openFailure() {
    if (errno == ENOENT || errno == ENOTDIR) return Failure{FailureKind::missing, "does not exist"};
    return readFailure();
}

}  // namespace

Result<std::vector<uint8_t>> readFileBounded(const std::filesystem::path& path, uint64_t minSize, uint64_t maxSize) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return openFailure();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return readFailure();
    const auto size = static_cast<uint64_t>(st.st_size);
    if (Result<> fits = checkFileSize(size, minSize, maxSize); !fits) return fits.failure();
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!readFully(fd.get(), bytes.data(), bytes.size())) return readFailure();
    return bytes;
}

Result<std::vector<uint8_t>> readFilePrefix(const std::filesystem::path& path, size_t n) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return openFailure();
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return readFailure();
    if (Result<> fits = checkFileSize(static_cast<uint64_t>(st.st_size), n, UINT64_MAX); !fits) return fits.failure();
    std::vector<uint8_t> bytes(n);
    if (!readFully(fd.get(), bytes.data(), n)) return readFailure();
    return bytes;
}

bool fileExists(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0) return false;
    const bool written = writeFully(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0;
    if (::close(fd.release()) != 0 || !written || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename itself lasts only once the folder is on disk too.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

bool removeFile(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace rw::platform
