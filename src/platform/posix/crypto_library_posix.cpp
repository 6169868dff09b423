// The libcrypto functions signature_posix.cpp calls, loaded with the library
// on the first signature check. A backend that calls another one needs it
// added here.
#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/params.h>

#include "platform/posix/lazy_library_posix.h"

#define RW_TEXT(x) #x
#define RW_SONAME(major) "libcrypto.so." RW_TEXT(major)
#define RW_CRYPTO RW_SONAME(OPENSSL_VERSION_MAJOR)

extern "C" {

RW_FORWARD(RW_CRYPTO, void, EVP_PKEY_free, (EVP_PKEY * p), (p), )
RW_FORWARD(RW_CRYPTO, void, EVP_PKEY_CTX_free, (EVP_PKEY_CTX * p), (p), )
RW_FORWARD(RW_CRYPTO, void, EVP_MD_CTX_free, (EVP_MD_CTX * p), (p), )
RW_FORWARD(RW_CRYPTO, void, ECDSA_SIG_free, (ECDSA_SIG * p), (p), )
RW_FORWARD(RW_CRYPTO, void, BN_free, (BIGNUM * p), (p), )
RW_FORWARD(RW_CRYPTO, OSSL_PARAM, OSSL_PARAM_construct_utf8_string, (const char* key, char* buf, size_t bsize), (key, buf, bsize),
           OSSL_PARAM{})
RW_FORWARD(RW_CRYPTO, OSSL_PARAM, OSSL_PARAM_construct_octet_string, (const char* key, void* buf, size_t bsize),
           (key, buf, bsize), OSSL_PARAM{})
RW_FORWARD(RW_CRYPTO, OSSL_PARAM, OSSL_PARAM_construct_end, (void), (), OSSL_PARAM{})
RW_FORWARD(RW_CRYPTO, EVP_PKEY_CTX*, EVP_PKEY_CTX_new_from_name, (OSSL_LIB_CTX * ctx, const char* name, const char* props),
           (ctx, name, props), nullptr)
RW_FORWARD(RW_CRYPTO, int, EVP_PKEY_fromdata_init, (EVP_PKEY_CTX * ctx), (ctx), 0)
RW_FORWARD(RW_CRYPTO, int, EVP_PKEY_fromdata, (EVP_PKEY_CTX * ctx, EVP_PKEY** key, int selection, OSSL_PARAM* params),
           (ctx, key, selection, params), 0)
RW_FORWARD(RW_CRYPTO, ECDSA_SIG*, ECDSA_SIG_new, (void), (), nullptr)
RW_FORWARD(RW_CRYPTO, BIGNUM*, BN_bin2bn, (const unsigned char* s, int len, BIGNUM* ret), (s, len, ret), nullptr)
RW_FORWARD(RW_CRYPTO, int, ECDSA_SIG_set0, (ECDSA_SIG * sig, BIGNUM* r, BIGNUM* s), (sig, r, s), 0)
RW_FORWARD(RW_CRYPTO, int, i2d_ECDSA_SIG, (const ECDSA_SIG* sig, unsigned char** pp), (sig, pp), 0)
RW_FORWARD(RW_CRYPTO, EVP_MD_CTX*, EVP_MD_CTX_new, (void), (), nullptr)
RW_FORWARD(RW_CRYPTO, const EVP_MD*, EVP_sha256, (void), (), nullptr)
RW_FORWARD(RW_CRYPTO, int, EVP_Digest,
           (const void* data, size_t count, unsigned char* md, unsigned int* size, const EVP_MD* type, ENGINE* impl),
           (data, count, md, size, type, impl), 0)
RW_FORWARD(RW_CRYPTO, int, EVP_DigestVerifyInit,
           (EVP_MD_CTX * ctx, EVP_PKEY_CTX** pctx, const EVP_MD* type, ENGINE* e, EVP_PKEY* pkey),
           (ctx, pctx, type, e, pkey), 0)
RW_FORWARD(RW_CRYPTO, int, EVP_DigestVerify,
           (EVP_MD_CTX * ctx, const unsigned char* sig, size_t siglen, const unsigned char* tbs, size_t tbslen),
           (ctx, sig, siglen, tbs, tbslen), 0)

}  // extern "C"
