#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

KernelHandle openForRead(const std::filesystem::path& path) {
    return KernelHandle(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool readFully(HANDLE h, uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(h, dst + done, want, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

bool writeFully(HANDLE h, const uint8_t* src, size_t n) {
    size_t done = 0;
    while (done < n) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(h, src + done, want, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}

Failure readFailure() { return Failure{FailureKind::system, "cannot be read"}; }

// Right after a failed open.
Failure openFailure() {
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
        return Failure{FailureKind::missing, "does not exist"};
    }
    return readFailure();
}

}  // namespace

Result<std::vector<uint8_t>> readFileBounded(const std::filesystem::path& path, uint64_t minSize, uint64_t maxSize) {
    KernelHandle h = openForRead(path);
    if (!h) return openFailure();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size) || size.QuadPart < 0) return readFailure();
    const auto n = static_cast<uint64_t>(size.QuadPart);
    if (Result<> fits = checkFileSize(n, minSize, maxSize); !fits) return fits.failure();
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    if (!readFully(h.get(), bytes.data(), bytes.size())) return readFailure();
    return bytes;
}

Result<std::vector<uint8_t>> readFilePrefix(const std::filesystem::path& path, size_t n) {
    KernelHandle h = openForRead(path);
    if (!h) return openFailure();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size) || size.QuadPart < 0) return readFailure();
    if (Result<> fits = checkFileSize(static_cast<uint64_t>(size.QuadPart), n, UINT64_MAX); !fits) {
        return fits.failure();
    }
    std::vector<uint8_t> bytes(n);
    if (!readFully(h.get(), bytes.data(), n)) return readFailure();
    return bytes;
}

bool fileExists(const std::filesystem::path& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

bool holds(HANDLE h, std::span<const uint8_t> bytes) {
    LARGE_INTEGER size{}, start{};
    if (!GetFileSizeEx(h, &size) || static_cast<uint64_t>(size.QuadPart) != bytes.size() ||
        !SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) {
        return false;
    }
    std::vector<uint8_t> piece(std::min<size_t>(bytes.size(), 1u << 20));
    for (size_t at = 0; at < bytes.size(); at += piece.size()) {
        const size_t n = std::min(piece.size(), bytes.size() - at);
        if (!readFully(h, piece.data(), n) || !std::equal(piece.begin(), piece.begin() + n, bytes.begin() + at)) {
            return false;
        }
    }
    return true;
}

bool sameFile(HANDLE h, const std::filesystem::path& path) {
    const KernelHandle there(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION mine{}, theirs{};
    if (!there || !GetFileInformationByHandle(h, &mine) || !GetFileInformationByHandle(there.get(), &theirs)) {
        return false;
    }
    // Wine leaves the volume serial 0 on some handles; a missing one is not compared.
    const bool sameVolume = mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber ||
                            mine.dwVolumeSerialNumber == 0 || theirs.dwVolumeSerialNumber == 0;
    return sameVolume && mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
}

class Win32PendingFile final : public PendingFile {
public:
    Win32PendingFile(KernelHandle h, std::filesystem::path temp, std::span<const uint8_t> bytes)
        : h_(std::move(h)), temp_(std::move(temp)), bytes_(bytes) {}
    ~Win32PendingFile() override {
        h_.reset();
        if (!committed_) DeleteFileW(temp_.c_str());
    }

    bool commit(const std::filesystem::path& target) override {
        // Moved while still open: the handle shares deletion but not writing.
        if (!MoveFileExW(temp_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return false;
        }
        committed_ = true;
        if (!sameFile(h_.get(), target)) return false;
        const bool ours = holds(h_.get(), bytes_);
        h_.reset();  // a program cannot start while a handle may write it
        if (!ours) DeleteFileW(target.c_str());
        return ours;
    }

private:
    KernelHandle h_;
    std::filesystem::path temp_;
    std::span<const uint8_t> bytes_;
    bool committed_ = false;
};

// CREATE_NEW never opens an existing file and never follows a link at the name.
KernelHandle createExclusive(const std::filesystem::path& path) {
    const auto create = [&] {
        return KernelHandle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    KernelHandle h = create();
    if (!h && GetLastError() == ERROR_FILE_EXISTS && DeleteFileW(path.c_str())) h = create();
    return h;
}

}  // namespace

std::unique_ptr<PendingFile> writePendingFile(const std::filesystem::path& temp, std::span<const uint8_t> bytes) {
    KernelHandle h = createExclusive(temp);
    if (!h) return nullptr;
    const HANDLE raw = h.get();
    auto file = std::make_unique<Win32PendingFile>(std::move(h), temp, bytes);
    if (!writeFully(raw, bytes.data(), bytes.size()) || !FlushFileBuffers(raw)) return nullptr;
    return file;
}

bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::path tmp = path;
    tmp += L".tmp";
    const std::unique_ptr<PendingFile> file = writePendingFile(tmp, bytes);
    return file && file->commit(path);
}

bool removeFile(const std::filesystem::path& path) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

}  // namespace rw::platform
