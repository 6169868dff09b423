// Downloads through WinINet in synchronous mode. Each operation opens a root
// handle of its own, asks for a fresh copy that is kept out of the cache, and
// closes every handle it opened before it returns.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string>

#include "platform/http.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

using InternetHandle = UniqueHandle<NullHandleTraits<HINTERNET, InternetCloseHandle>>;

// Declared in this order so the request is closed before its root.
struct OpenedUrl {
    InternetHandle root;
    InternetHandle request;
    uint64_t deadlineTick = 0;
    bool late() const { return GetTickCount64() > deadlineTick; }
};

// The URL the request ended on after redirects.
std::string finalUrl(HINTERNET request) {
    DWORD size = 0;
    InternetQueryOptionW(request, INTERNET_OPTION_URL, nullptr, &size);
    std::wstring url(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(url.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(request, INTERNET_OPTION_URL, url.data(), &size)) return {};
    url.resize(wcsnlen(url.c_str(), url.size()));
    return wideToUtf8(url);
}

DWORD statusCode(HINTERNET request) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr)) return 0;
    return code;
}

OpenedUrl openUrl(std::string_view url, std::string_view agent, std::chrono::milliseconds deadline) {
    OpenedUrl o;
    o.deadlineTick = GetTickCount64() + static_cast<uint64_t>(deadline.count());
    const std::wstring wideAgent = utf8ToWide(agent);
    // A missing root handle simply makes the calls below fail.
    o.root.reset(InternetOpenW(wideAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    DWORD timeout = kConnectTimeoutMs;
    InternetSetOptionW(o.root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    // No single wait outlasts the whole transfer's deadline.
    DWORD wait = static_cast<DWORD>(std::min<int64_t>(deadline.count(), MAXDWORD));
    InternetSetOptionW(o.root.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
    InternetSetOptionW(o.root.get(), INTERNET_OPTION_SEND_TIMEOUT, &wait, sizeof wait);
    const std::wstring wideUrl = utf8ToWide(url);
    o.request.reset(InternetOpenUrlW(o.root.get(), wideUrl.c_str(), nullptr, 0,
                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    // Only a 200 reply counts, and a secure URL must not end on plain HTTP.
    if (o.request && (statusCode(o.request.get()) != 200 || (isSecureUrl(url) && !isSecureUrl(finalUrl(o.request.get()))) ||
                      o.late())) {
        o.request.reset();
    }
    return o;
}

// Reads up to n bytes, never waiting for more than has arrived, so the
// deadline is checked between pieces however slowly they come. False when a
// read fails or the deadline has passed; `got` 0 is the end of the body.
bool readSome(const OpenedUrl& o, uint8_t* dst, size_t n, DWORD& got) {
    got = 0;
    DWORD available = 0;
    if (!InternetQueryDataAvailable(o.request.get(), &available, 0, 0) || o.late()) return false;
    if (available == 0) return true;
    const DWORD want = static_cast<DWORD>(std::min<size_t>({n, available, kReadChunk}));
    return InternetReadFile(o.request.get(), dst, want, &got) != 0 && !o.late();
}

}  // namespace

Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n,
                                         std::chrono::milliseconds deadline) {
    OpenedUrl o = openUrl(url, agent, deadline);
    if (!o.request) return unreachableFailure(url);
    // A slow server hands the first bytes over in pieces: read until the
    // prefix is whole or the reply ends, never judging by what has arrived.
    std::vector<uint8_t> prefix(n);
    size_t have = 0;
    while (have < n) {
        DWORD got = 0;
        if (!readSome(o, prefix.data() + have, n - have, got)) {
            return o.late() ? unreachableFailure(url) : shortReplyFailure(url, n);
        }
        if (got == 0) return shortReplyFailure(url, n);
        have += got;
    }
    return prefix;  // the rest of the reply is never read
}

Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit,
                                  std::chrono::milliseconds deadline) {
    FetchedBody out;
    OpenedUrl o = openUrl(url, agent, deadline);
    if (!o.request) return unreachableFailure(url);
    uint8_t chunk[kReadChunk];
    for (;;) {
        DWORD got = 0;
        if (!readSome(o, chunk, sizeof chunk, got)) {
            // Past the deadline the transfer failed; any other broken read ends the body.
            if (o.late()) return unreachableFailure(url);
            return out;
        }
        if (got == 0) break;
        const size_t keep = std::min<size_t>(got, limit - out.bytes.size());
        out.bytes.insert(out.bytes.end(), chunk, chunk + keep);
        if (keep < got) {
            out.cut = true;
            break;
        }
    }
    return out;
}

}  // namespace rw::platform
