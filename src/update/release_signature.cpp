#include "update/release_signature.h"

#include <string>

#include "base/little_endian.h"
#include "platform/http.h"
#include "platform/signature.h"
#include "rw_config.h"

namespace rw {
namespace {

// The key's bytes end in a comma; the final zero keeps the array non-empty and is not part of it.
constexpr uint8_t kReleaseKey[] = {RW_RELEASE_KEY_BYTES 0};
constexpr std::string_view kMessageHead{"runwarden signature 1\0", 22};

}  // namespace

std::vector<uint8_t> signedMessage(std::string_view role, uint32_t version, std::span<const uint8_t> file) {
    const auto digest = platform::sha256(file);
    if (!digest) return {};
    std::vector<uint8_t> message(kMessageHead.begin(), kMessageHead.end());
    message.insert(message.end(), role.begin(), role.end());
    message.push_back(0);
    uint8_t word[4];
    storeU32(word, version);
    message.insert(message.end(), word, word + 4);
    message.insert(message.end(), digest->begin(), digest->end());
    return message;
}

std::span<const uint8_t> releasePublicKey() { return std::span<const uint8_t>(kReleaseKey, sizeof kReleaseKey - 1); }

UpdateTrust updateTrust(std::span<const uint8_t> key, bool unsignedAllowed) {
    if (!key.empty()) return UpdateTrust::Signed;
    return unsignedAllowed ? UpdateTrust::UnsignedAllowed : UpdateTrust::UnsignedOff;
}

std::string_view updateTrustText(UpdateTrust trust) {
    switch (trust) {
        case UpdateTrust::Signed: return "signed updates";
        case UpdateTrust::UnsignedAllowed: return "unsigned updates (allowed)";
        case UpdateTrust::UnsignedOff: break;
    }
    return "unsigned updates (program updates off)";
}

UpdateTrust buildUpdateTrust() { return updateTrust(releasePublicKey(), RW_UNSIGNED_UPDATES != 0); }

Result<> checkReleaseSignature(std::span<const uint8_t> key, std::string_view fileUrl, std::string_view role,
                               uint32_t version, std::span<const uint8_t> file, std::chrono::milliseconds deadline) {
    if (key.empty()) return success();
    const std::string url = std::string(fileUrl) + std::string(kSignatureSuffix);
    const Result<platform::FetchedBody> signature =
        platform::fetchToMemory(url, platform::kUpdateAgent, kSignatureFileLimit, deadline);
    if (!signature) return Failure{FailureKind::unreachable, "the signature " + url + " could not be fetched"};
    if (signature->cut || signature->bytes.size() != platform::kSignatureSize) {
        return Failure{FailureKind::forged, "the signature " + url + " is not " + std::to_string(platform::kSignatureSize) + " bytes"};
    }
    const std::vector<uint8_t> message = signedMessage(role, version, file);
    if (message.empty() || !platform::verifySignature(key, message, signature->bytes)) {
        return Failure{FailureKind::forged, "the signature " + url + " does not match the file"};
    }
    return success();
}

}  // namespace rw
