#include "release_signing.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/signature.h"

namespace rw::publish {

struct SigningKey {
    EVP_PKEY* pkey = nullptr;
};

void SigningKeyDeleter::operator()(SigningKey* key) const {
    if (key) EVP_PKEY_free(key->pkey);
    delete key;
}

namespace {

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

std::string openSslError() {
    char text[256] = "unknown error";
    if (const unsigned long code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return text;
}

// A PEM text in memory, for writing with the file's own permissions.
std::string pemText(EVP_PKEY* key, bool privateHalf) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    const int ok = privateHalf ? PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                               : PEM_write_bio_PUBKEY(bio.get(), key);
    if (!bio || ok != 1) return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

// Creates the file, never over an existing one.
Result<> writeNewFile(const std::filesystem::path& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    if (fd < 0) {
        const int why = errno;
        return Failure{why == EEXIST ? FailureKind::exists : FailureKind::system,
                       path.string() + (why == EEXIST ? ": a key is there already; it is not replaced"
                                                      : ": cannot create the file: " + std::string(std::strerror(why)))};
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        ::unlink(path.c_str());
        return Failure{FailureKind::system, path.string() + ": cannot write the file"};
    }
    return success();
}

}  // namespace

Result<> generateKeyPair(const std::filesystem::path& folder) {
    const std::filesystem::path privatePath = folder / kPrivateKeyFile;
    const std::filesystem::path publicPath = folder / kPublicKeyFile;
    std::error_code ec;
    for (const auto& p : {privatePath, publicPath}) {
        if (std::filesystem::exists(p, ec)) {
            return Failure{FailureKind::exists, p.string() + ": a key is there already; it is not replaced"};
        }
    }
    std::filesystem::create_directories(folder, ec);
    if (ec) return Failure{FailureKind::system, folder.string() + ": cannot create the folder: " + ec.message()};
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    if (!key) return Failure{FailureKind::system, "cannot make a key: " + openSslError()};
    const std::string privatePem = pemText(key, true);
    const std::string publicPem = pemText(key, false);
    EVP_PKEY_free(key);
    if (privatePem.empty() || publicPem.empty()) {
        return Failure{FailureKind::system, "cannot write the key: " + openSslError()};
    }
    if (Result<> r = writeNewFile(privatePath, privatePem, 0600); !r) return r;
    if (Result<> r = writeNewFile(publicPath, publicPem, 0644); !r) {
        ::unlink(privatePath.c_str());
        return r;
    }
    return success();
}

Result<SigningKeyPtr> loadSigningKey(const std::filesystem::path& privateKeyPem) {
    BioPtr bio(BIO_new_file(privateKeyPem.c_str(), "r"));
    if (!bio) return Failure{FailureKind::system, "cannot read the key"};
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    if (!key) return Failure{FailureKind::malformed, "not a private key (" + openSslError() + ")"};
    SigningKeyPtr owned(new SigningKey{key});
    if (!platform::p256PublicPoint(publicKeyDer(*owned))) {
        return Failure{FailureKind::malformed, "not an ECDSA P-256 key"};
    }
    return owned;
}

std::vector<uint8_t> publicKeyDer(const SigningKey& key) {
    const int size = i2d_PUBKEY(key.pkey, nullptr);
    if (size <= 0) return {};
    std::vector<uint8_t> der(static_cast<size_t>(size));
    uint8_t* out = der.data();
    if (i2d_PUBKEY(key.pkey, &out) != size) return {};
    return der;
}

Result<std::array<uint8_t, 64>> signFile(const SigningKey& key, std::span<const uint8_t> file) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    size_t size = 0;
    if (!md || EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, key.pkey) != 1 ||
        EVP_DigestSign(md.get(), nullptr, &size, file.data(), file.size()) != 1) {
        return Failure{FailureKind::system, "cannot sign: " + openSslError()};
    }
    std::vector<uint8_t> der(size);
    if (EVP_DigestSign(md.get(), der.data(), &size, file.data(), file.size()) != 1) {
        return Failure{FailureKind::system, "cannot sign: " + openSslError()};
    }
    const uint8_t* in = der.data();
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(size)),
                                                              ECDSA_SIG_free);
    std::array<uint8_t, 64> raw{};
    if (!sig || BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), raw.data(), 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), raw.data() + 32, 32) != 32) {
        return Failure{FailureKind::system, "cannot encode the signature"};
    }
    if (!platform::verifySignature(publicKeyDer(key), file, raw)) {
        return Failure{FailureKind::forged, "the new signature does not verify with the public key"};
    }
    return raw;
}

}  // namespace rw::publish
