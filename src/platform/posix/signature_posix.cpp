#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>
#include <vector>

#include "platform/signature.h"

namespace rw::platform {
namespace {

template <class T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Freer<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;
using SigPtr = std::unique_ptr<ECDSA_SIG, Freer<ECDSA_SIG, ECDSA_SIG_free>>;

PkeyPtr publicKeyFromPoint(const std::array<uint8_t, kP256PointSize>& point) {
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, const_cast<char*>("prime256v1"), 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, const_cast<uint8_t*>(point.data()), point.size()),
        OSSL_PARAM_construct_end()};
    PkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1) {
        return nullptr;
    }
    return PkeyPtr(key);
}

// OpenSSL verifies DER-encoded signatures; the file holds r||s.
std::vector<uint8_t> derSignature(std::span<const uint8_t> raw) {
    SigPtr sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    const int size = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (size <= 0) return {};
    std::vector<uint8_t> der(static_cast<size_t>(size));
    uint8_t* out = der.data();
    if (i2d_ECDSA_SIG(sig.get(), &out) != size) return {};
    return der;
}

}  // namespace

std::optional<std::array<uint8_t, kSha256Size>> sha256(std::span<const uint8_t> bytes) {
    std::array<uint8_t, kSha256Size> digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
        size != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

bool verifyP256(const std::array<uint8_t, kP256PointSize>& point, std::span<const uint8_t> message,
                std::span<const uint8_t, kSignatureSize> signature) {
    const PkeyPtr key = publicKeyFromPoint(point);
    const std::vector<uint8_t> der = derSignature(signature);
    MdCtxPtr md(EVP_MD_CTX_new());
    if (!key || der.empty() || !md) return false;
    return EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
           EVP_DigestVerify(md.get(), der.data(), der.size(), message.data(), message.size()) == 1;
}

}  // namespace rw::platform
