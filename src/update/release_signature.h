#pragma once
// Everything the update server sends carries a signature beside it,
// "<file>.sig", made with the release key. The signature names the file's
// role and version, so a signed file cannot be replayed as another file or
// under another version. A build with a release key compiled in takes a file
// only when its signature verifies; a build without one offers no program
// update unless it was configured with RW_UNSIGNED_UPDATES.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace rw {

// A signature file larger than this is not read.
inline constexpr size_t kSignatureFileLimit = 1024;
inline constexpr std::string_view kSignatureSuffix = ".sig";

// The roles a signature names; each file's version is given beside it.
inline constexpr std::string_view kDescriptorRole = "UpdateData.dat";  // its own first word
inline constexpr std::string_view kProgramRole = "Runwarden.exe";      // the descriptor's version
inline constexpr std::string_view kRecordsRole = "RecData.dat";        // its revision
inline constexpr std::string_view kChangeLogRole = "changelog.txt";    // 0

// What is signed: "runwarden signature 1", NUL, the role, NUL, the version as
// 4 bytes little-endian, and the SHA-256 of the file's bytes. Empty only when
// the system's hash fails.
std::vector<uint8_t> signedMessage(std::string_view role, uint32_t version, std::span<const uint8_t> file);

// The key this build was made with; empty when its updates are not signed.
std::span<const uint8_t> releasePublicKey();

enum class UpdateTrust {
    Signed,           // a release key is built in
    UnsignedOff,      // no key: no program updates
    UnsignedAllowed,  // no key, RW_UNSIGNED_UPDATES: program updates for a closed test network
};
UpdateTrust updateTrust(std::span<const uint8_t> key, bool unsignedAllowed);
// "signed updates", "unsigned updates (program updates off)" or "unsigned updates (allowed)".
std::string_view updateTrustText(UpdateTrust trust);
// This build's.
UpdateTrust buildUpdateTrust();

// Fetches "<fileUrl>.sig" and verifies it as the signature of `file` in that
// role and version by `key`. With an empty key there is nothing to check and
// the file passes.
Result<> checkReleaseSignature(std::span<const uint8_t> key, std::string_view fileUrl, std::string_view role,
                               uint32_t version, std::span<const uint8_t> file, std::chrono::milliseconds deadline);

}  // namespace rw
