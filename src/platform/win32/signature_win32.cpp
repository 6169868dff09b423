#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/signature.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

constexpr ULONG kCoordinateSize = 32;

bool succeeded(NTSTATUS status) { return status >= 0; }

void closeAlgorithm(BCRYPT_ALG_HANDLE h) { BCryptCloseAlgorithmProvider(h, 0); }
using Algorithm = UniqueHandle<NullHandleTraits<BCRYPT_ALG_HANDLE, closeAlgorithm>>;
using Hash = UniqueHandle<NullHandleTraits<BCRYPT_HASH_HANDLE, BCryptDestroyHash>>;
using Key = UniqueHandle<NullHandleTraits<BCRYPT_KEY_HANDLE, BCryptDestroyKey>>;

Algorithm openAlgorithm(LPCWSTR name) {
    BCRYPT_ALG_HANDLE h = nullptr;
    return Algorithm(succeeded(BCryptOpenAlgorithmProvider(&h, name, nullptr, 0)) ? h : nullptr);
}

}  // namespace

// BCryptHash would be one call, but it needs Windows 10; this runs on Windows 7 too.
std::optional<std::array<uint8_t, kSha256Size>> sha256(std::span<const uint8_t> message) {
    const Algorithm algorithm = openAlgorithm(BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE h = nullptr;
    if (!algorithm || !succeeded(BCryptCreateHash(algorithm.get(), &h, nullptr, 0, nullptr, 0, 0))) return std::nullopt;
    const Hash hash(h);
    constexpr size_t kPiece = 1u << 20;
    for (size_t at = 0; at < message.size(); at += kPiece) {
        const size_t n = std::min(kPiece, message.size() - at);
        if (!succeeded(BCryptHashData(hash.get(), const_cast<PUCHAR>(message.data() + at), static_cast<ULONG>(n), 0))) {
            return std::nullopt;
        }
    }
    std::array<uint8_t, kSha256Size> digest{};
    if (!succeeded(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}

bool verifyP256(const std::array<uint8_t, kP256PointSize>& point, std::span<const uint8_t> message,
                std::span<const uint8_t, kSignatureSize> signature) {
    const auto digest = sha256(message);
    if (!digest) return false;

    // BCRYPT_ECCKEY_BLOB followed by X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateSize);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateSize};
    std::copy_n(reinterpret_cast<const UCHAR*>(&header), sizeof header, blob.begin());
    std::copy(point.begin() + 1, point.end(), blob.begin() + sizeof header);

    const Algorithm ecdsa = openAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    BCRYPT_KEY_HANDLE k = nullptr;
    if (!ecdsa || !succeeded(BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &k, blob.data(),
                                                 static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    const Key key(k);
    return succeeded(BCryptVerifySignature(key.get(), nullptr, const_cast<PUCHAR>(digest->data()), kSha256Size,
                                           const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()),
                                           0));
}

}  // namespace rw::platform
