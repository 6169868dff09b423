#pragma once
// HTTP and HTTPS GET downloads for the update pass and the records refresh.
// Every call opens its own session with the given user agent and a 2000 ms
// connect time-out, skips any cached copy, blocks until done and closes
// everything it opened before it returns.
//
// The HTTP status is never looked at: whatever body the server sends, an error
// page included, is the data; callers protect themselves with length, format
// and checksum tests. A transfer broken off half-way ends like the end of the
// body: the bytes that arrived are the result.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace rw::platform {

// User agents the servers see.
inline constexpr std::string_view kUpdateAgent = "RWUpdate";   // change log, descriptor, program, records list
inline constexpr std::string_view kRecordsAgent = "VoZedida";  // the records data file

inline constexpr uint32_t kConnectTimeoutMs = 2000;
inline constexpr size_t kReadChunk = 1024;
inline constexpr size_t kNoLimit = SIZE_MAX;

// Every fetch fails as unreachable when the URL does not open (no reply came
// back); the others say how.

// The first n bytes of the body, however slowly they arrive; tooSmall when the
// reply ends sooner. The rest is never read.
Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n);

struct FetchedBody {
    std::vector<uint8_t> bytes;
    bool cut = false;  // the body was longer than the limit; reading stopped there
};

// The whole body in memory, at most `limit` bytes of it.
Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit);

// Streams the body into `path`, created or replaced, however short the body.
// Fails as system when the file cannot be created or written, tooLarge
// when the body runs past `limit`; the file then holds only part of the body.
// When the URL does not open, an existing file is left untouched.
Result<> fetchToFile(std::string_view url, std::string_view agent, const std::filesystem::path& path,
                     size_t limit = kNoLimit);

// As fetchToFile, keeping the body in memory too. The file is closed and on
// disk before this returns, so the caller may check, move, start or delete it.
Result<std::vector<uint8_t>> fetchToFileAndMemory(std::string_view url, std::string_view agent,
                                                  const std::filesystem::path& path, size_t limit);

}  // namespace rw::platform
