#include "update/release_signature.h"

#include <string>

#include "platform/http.h"
#include "platform/signature.h"
#include "rw_config.h"

namespace rw {
namespace {

// The key's bytes end in a comma; the final zero keeps the array non-empty and is not part of it.
constexpr uint8_t kReleaseKey[] = {RW_RELEASE_KEY_BYTES 0};

}  // namespace

std::span<const uint8_t> releasePublicKey() { return std::span<const uint8_t>(kReleaseKey, sizeof kReleaseKey - 1); }

Result<> checkReleaseSignature(std::span<const uint8_t> key, std::string_view fileUrl,
                               std::span<const uint8_t> file) {
    if (key.empty()) return success();
    const std::string url = std::string(fileUrl) + std::string(kSignatureSuffix);
    const Result<platform::FetchedBody> signature =
        platform::fetchToMemory(url, platform::kUpdateAgent, kSignatureFileLimit);
    if (!signature) return Failure{FailureKind::unreachable, "the signature " + url + " could not be fetched"};
    if (signature->cut || signature->bytes.size() != platform::kSignatureSize) {
        return Failure{FailureKind::forged,
                       "the signature " + url + " is not " + std::to_string(platform::kSignatureSize) + " bytes"};
    }
    if (!platform::verifySignature(key, file, signature->bytes)) {
        return Failure{FailureKind::forged, "the signature " + url + " does not match the file"};
    }
    return success();
}

}  // namespace rw
