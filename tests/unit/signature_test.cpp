#include "platform/signature.h"

#include <gtest/gtest.h>

#include <string>

namespace rw::platform {
namespace {

// Two throwaway keys and the first one's signature of kMessage, made with
//   openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out k.pem
//   openssl pkey -in k.pem -pubout -outform DER | xxd -p
//   openssl dgst -sha256 -sign k.pem  (DER, written here as r||s)
constexpr std::string_view kKeyA =
    "3059301306072a8648ce3d020106082a8648ce3d03010703420004d7b3119de00a35667b6243735db39cc8f0427038a18336741897"
    "4219988aa20bdab2a2cd85afd8e5d55075e678125e7c2279b57b43ee2bb2c2102369b3b710dc";
constexpr std::string_view kKeyB =
    "3059301306072a8648ce3d020106082a8648ce3d030107034200042fe10ef98633fa219b674129952e5afe6b260ed42a07659ded77"
    "196dcf90ec8473e5435b5d55e72c2e2ab8e9c67bbd08c0b4004cb10fed3dfb7a4ce48ece1e45";
constexpr std::string_view kSignatureA =
    "5e762a1e6354663d0d6abcf115b5325d425940e9450b3340eb69750c03daa14c583a71d264c8bcba4a36eb091a84db2fcc7cbd49ef"
    "4f7eeefcecee58541015d3";
constexpr std::string_view kMessage = "Runwarden.exe build 16\n";

std::vector<uint8_t> hex(std::string_view text) {
    std::vector<uint8_t> out;
    for (size_t k = 0; k + 1 < text.size(); k += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(k, 2)), nullptr, 16)));
    return out;
}

std::vector<uint8_t> bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(Signature, OnlyTheKeysOwnSignatureOfThatFileVerifies) {
    std::vector<uint8_t> flipped = hex(kSignatureA), shorter = hex(kSignatureA), compressedKey = hex(kKeyA);
    flipped[40] ^= 0x01;
    shorter.pop_back();
    compressedKey[26] = 0x02;
    const struct {
        const char* what;
        std::vector<uint8_t> key, message, signature;
        bool verifies;
    } cases[] = {
        {"good", hex(kKeyA), bytes(kMessage), hex(kSignatureA), true},
        {"63 bytes", hex(kKeyA), bytes(kMessage), shorter, false},
        {"checked with another key", hex(kKeyB), bytes(kMessage), hex(kSignatureA), false},
        {"of another file", hex(kKeyA), bytes("Runwarden.exe build 17\n"), hex(kSignatureA), false},
        {"one bit off", hex(kKeyA), bytes(kMessage), flipped, false},
        {"no key", {}, bytes(kMessage), hex(kSignatureA), false},
        {"key not uncompressed", compressedKey, bytes(kMessage), hex(kSignatureA), false},
    };
    for (const auto& c : cases) EXPECT_EQ(verifySignature(c.key, c.message, c.signature), c.verifies) << c.what;
}

}  // namespace
}  // namespace rw::platform
