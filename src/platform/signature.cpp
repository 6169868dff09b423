#include "platform/signature.h"

#include <algorithm>

namespace rw::platform {
namespace {

// SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING (66 bytes) }.
constexpr std::array<uint8_t, 26> kP256InfoPrefix = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                                     0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                                     0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

}  // namespace

Result<std::array<uint8_t, kP256PointSize>> p256PublicPoint(std::span<const uint8_t> publicKeyDer) {
    const Failure notP256{FailureKind::malformed, "not an uncompressed ECDSA P-256 public key"};
    if (publicKeyDer.size() != kP256InfoPrefix.size() + kP256PointSize) return notP256;
    if (!std::equal(kP256InfoPrefix.begin(), kP256InfoPrefix.end(), publicKeyDer.begin())) return notP256;
    std::array<uint8_t, kP256PointSize> point{};
    std::copy(publicKeyDer.begin() + kP256InfoPrefix.size(), publicKeyDer.end(), point.begin());
    if (point[0] != 0x04) return notP256;  // only the uncompressed form
    return point;
}

bool verifySignature(std::span<const uint8_t> publicKeyDer, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature) {
    if (signature.size() != kSignatureSize) return false;
    const auto point = p256PublicPoint(publicKeyDer);
    return point && verifyP256(*point, message, signature.first<kSignatureSize>());
}

}  // namespace rw::platform
