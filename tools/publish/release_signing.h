#pragma once
// The release key on the publishing side: making a key pair and signing the
// files the program downloads and trusts. Signatures are ECDSA P-256 with
// SHA-256 over signedMessage() of a file, as the raw 64 bytes r||s.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "base/result.h"

namespace rw::publish {

inline constexpr const char* kPrivateKeyFile = "release-private.pem";
inline constexpr const char* kPublicKeyFile = "release-public.pem";

// Writes DIR/release-private.pem (readable by its owner only) and
// DIR/release-public.pem; refuses when either exists.
Result<> generateKeyPair(const std::filesystem::path& folder);

struct SigningKey;  // an OpenSSL key
struct SigningKeyDeleter {
    void operator()(SigningKey* key) const;
};
using SigningKeyPtr = std::unique_ptr<SigningKey, SigningKeyDeleter>;

Result<SigningKeyPtr> loadSigningKey(const std::filesystem::path& privateKeyPem);

// The public half as the program holds it (SubjectPublicKeyInfo, DER).
std::vector<uint8_t> publicKeyDer(const SigningKey& key);

// A signature of `message`, already checked against the public half.
Result<std::array<uint8_t, 64>> signFile(const SigningKey& key, std::span<const uint8_t> message);

}  // namespace rw::publish
