#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/signature.h"

namespace rw::platform {
namespace {

constexpr ULONG kCoordinateSize = 32;

bool succeeded(NTSTATUS status) { return status >= 0; }

struct Algorithm {
    BCRYPT_ALG_HANDLE handle = nullptr;
    explicit Algorithm(LPCWSTR name) {
        if (!succeeded(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0))) handle = nullptr;
    }
    ~Algorithm() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
};

struct Hash {
    BCRYPT_HASH_HANDLE handle = nullptr;
    Hash() = default;
    ~Hash() {
        if (handle) BCryptDestroyHash(handle);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
};

struct Key {
    BCRYPT_KEY_HANDLE handle = nullptr;
    Key() = default;
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
};

// BCryptHash would be one call, but it needs Windows 10; this runs on Windows 7 too.
std::optional<std::array<UCHAR, 32>> sha256(std::span<const uint8_t> message) {
    Algorithm algorithm(BCRYPT_SHA256_ALGORITHM);
    Hash hash;
    if (!algorithm.handle || !succeeded(BCryptCreateHash(algorithm.handle, &hash.handle, nullptr, 0, nullptr, 0, 0))) {
        return std::nullopt;
    }
    constexpr size_t kPiece = 1u << 20;
    for (size_t at = 0; at < message.size(); at += kPiece) {
        const size_t n = std::min(kPiece, message.size() - at);
        if (!succeeded(BCryptHashData(hash.handle, const_cast<PUCHAR>(message.data() + at), static_cast<ULONG>(n), 0))) {
            return std::nullopt;
        }
    }
    std::array<UCHAR, 32> digest{};
    if (!succeeded(BCryptFinishHash(hash.handle, digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace

bool verifyP256(const std::array<uint8_t, kP256PointSize>& point, std::span<const uint8_t> message,
                std::span<const uint8_t, kSignatureSize> signature) {
    const std::optional<std::array<UCHAR, 32>> digest = sha256(message);
    if (!digest) return false;

    // BCRYPT_ECCKEY_BLOB followed by X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateSize);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateSize};
    std::copy_n(reinterpret_cast<const UCHAR*>(&header), sizeof header, blob.begin());
    std::copy(point.begin() + 1, point.end(), blob.begin() + sizeof header);

    Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    Key key;
    if (!ecdsa.handle || !succeeded(BCryptImportKeyPair(ecdsa.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.handle,
                                                        blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    return succeeded(BCryptVerifySignature(key.handle, nullptr, const_cast<PUCHAR>(digest->data()), 32,
                                           const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()),
                                           0));
}

}  // namespace rw::platform
