#pragma once
// Release signatures: ECDSA P-256 with SHA-256 over a message, stored as
// the raw 64 bytes r||s (the form Windows' CNG takes as it is). The public key
// is a SubjectPublicKeyInfo in DER, as `openssl pkey -pubin -outform DER`
// writes it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/result.h"

namespace rw::platform {

inline constexpr size_t kSignatureSize = 64;
inline constexpr size_t kSha256Size = 32;

// None only when the system's hash fails.
std::optional<std::array<uint8_t, kSha256Size>> sha256(std::span<const uint8_t> bytes);
inline constexpr size_t kP256PointSize = 65;  // 0x04, X, Y

// The uncompressed point of a P-256 SubjectPublicKeyInfo; malformed for any other key.
Result<std::array<uint8_t, kP256PointSize>> p256PublicPoint(std::span<const uint8_t> publicKeyDer);

// True only when `signature` is a valid signature of `message` by that key.
// A key that is not P-256, or a signature of another length, never verifies.
bool verifySignature(std::span<const uint8_t> publicKeyDer, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature);

// The backend's half of verifySignature, on a key and signature already checked for shape.
bool verifyP256(const std::array<uint8_t, kP256PointSize>& point, std::span<const uint8_t> message,
                std::span<const uint8_t, kSignatureSize> signature);

}  // namespace rw::platform
