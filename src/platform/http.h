#pragma once
// HTTP GET downloads for the update pass and the records refresh, into memory
// only: whatever is written to disk is written from verified bytes. Every call
// opens its own session with the given user agent and a 2000 ms connect
// time-out, asks the server for a fresh copy and caches nothing, blocks until
// done and closes everything it opened before it returns.
//
// A transfer fails (as a connection failure does) when the final reply is not
// 200, when it runs past its deadline, or when a secure URL ("https://" in any
// letter case) would end on plain HTTP. A body broken off half-way ends like
// the end of the body: callers protect themselves with length, format,
// checksum and signature tests.
#include <chrono>
#include <cstddef>
#include <cstdint>
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
// The whole transfer, from the request to the last byte.
inline constexpr std::chrono::milliseconds kTransferDeadline = std::chrono::seconds(60);

// True for a URL whose scheme is https, in any letter case.
bool isSecureUrl(std::string_view url);

// The first n bytes of the body, however slowly they arrive within the
// deadline; else unreachable (the transfer failed) or tooSmall (the reply
// ended sooner). The rest is never read.
Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n,
                                         std::chrono::milliseconds deadline = kTransferDeadline);

struct FetchedBody {
    std::vector<uint8_t> bytes;
    bool cut = false;  // the body was longer than the limit; reading stopped there
};

// The whole body in memory, at most `limit` bytes of it; else unreachable.
Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit,
                                  std::chrono::milliseconds deadline = kTransferDeadline);

// The failures of the two operations above, for their backends.
Failure unreachableFailure(std::string_view url);
Failure shortReplyFailure(std::string_view url, size_t n);

}  // namespace rw::platform
