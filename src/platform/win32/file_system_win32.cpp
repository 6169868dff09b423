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

bool writeFileSafely(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::path tmp = path;
    tmp += L".tmp";
    bool written = false;
    {
        KernelHandle h(
            CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) return false;
        written = writeFully(h.get(), bytes.data(), bytes.size()) && FlushFileBuffers(h.get());
    }
    if (!written || !MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(tmp.c_str());
        return false;
    }
    return true;
}

bool removeFile(const std::filesystem::path& path) {
    if (DeleteFileW(path.c_str())) return true;
    const DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace rw::platform
