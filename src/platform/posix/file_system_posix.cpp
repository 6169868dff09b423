#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

namespace {

// Reads the file back through its own descriptor and compares.
bool holds(int fd, std::span<const uint8_t> bytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) != bytes.size()) return false;
    std::vector<uint8_t> piece(std::min<size_t>(bytes.size(), 1u << 20));
    for (size_t at = 0; at < bytes.size(); at += piece.size()) {
        const size_t n = std::min(piece.size(), bytes.size() - at);
        if (::lseek(fd, static_cast<off_t>(at), SEEK_SET) < 0 || !readFully(fd, piece.data(), n) ||
            !std::equal(piece.begin(), piece.begin() + n, bytes.begin() + at)) {
            return false;
        }
    }
    return true;
}

bool sameFile(int fd, const std::filesystem::path& path) {
    struct stat mine {}, there {};
    return ::fstat(fd, &mine) == 0 && ::lstat(path.c_str(), &there) == 0 && mine.st_dev == there.st_dev &&
           mine.st_ino == there.st_ino;
}

class PosixPendingFile final : public PendingFile {
public:
    PosixPendingFile(int fd, std::filesystem::path temp, std::span<const uint8_t> bytes)
        : fd_(fd), temp_(std::move(temp)), bytes_(bytes) {}
    ~PosixPendingFile() override {
        if (!committed_) ::unlink(temp_.c_str());
    }

    bool commit(const std::filesystem::path& target) override {
        if (::rename(temp_.c_str(), target.c_str()) != 0) return false;
        committed_ = true;  // the temporary name is gone
        // The rename lasts only once the folder is on disk too.
        const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
        Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0) ::fsync(dir.get());
        // Anyone who may write in the folder could have changed the file by
        // its name since it was written; what is in place must be ours.
        if (!sameFile(fd_.get(), target)) return false;
        if (!holds(fd_.get(), bytes_)) {
            ::unlink(target.c_str());
            return false;
        }
        return ::close(fd_.release()) == 0;
    }

private:
    Fd fd_;
    std::filesystem::path temp_;
    std::span<const uint8_t> bytes_;
    bool committed_ = false;
};

int createExclusive(const std::filesystem::path& path) {
    const int flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0 && errno == EEXIST && ::unlink(path.c_str()) == 0) fd = ::open(path.c_str(), flags, 0644);
    return fd;
}

}  // namespace

std::unique_ptr<PendingFile> writePendingFile(const std::filesystem::path& temp, std::span<const uint8_t> bytes) {
    const int fd = createExclusive(temp);
    if (fd < 0) return nullptr;
    auto file = std::make_unique<PosixPendingFile>(fd, temp, bytes);
    if (!writeFully(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) return nullptr;  // removed on the way out
    return file;
}

bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::path tmp = path;
    tmp += ".tmp";
    const std::unique_ptr<PendingFile> file = writePendingFile(tmp, bytes);
    return file && file->commit(path);
}

bool removeFile(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace rw::platform
