#pragma once
// Downloads the program trusts (the program file and RecData.dat) carry a
// signature beside them, "<file>.sig", made with the release key. A build
// with a release key compiled in takes a download only when that signature
// verifies; a build without one behaves as if no file were signed.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/result.h"

namespace rw {

// A signature file larger than this is not read.
inline constexpr size_t kSignatureFileLimit = 1024;
inline constexpr std::string_view kSignatureSuffix = ".sig";

// The key this build was made with; empty when its updates are not signed.
std::span<const uint8_t> releasePublicKey();

// Fetches "<fileUrl>.sig" and verifies it as a signature of `file` by `key`.
// With an empty key there is nothing to check and the file passes.
Result<> checkReleaseSignature(std::span<const uint8_t> key, std::string_view fileUrl,
                               std::span<const uint8_t> file);

}  // namespace rw
