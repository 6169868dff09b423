// Downloads through WinINet in synchronous mode. Each operation opens a root
// handle of its own, drops any cached copy of the URL, and closes every handle
// it opened before it returns.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <string>

#include "platform/http.h"
#include "platform/http_stream.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

namespace rw::platform {
namespace {

using InternetHandle = UniqueHandle<NullHandleTraits<HINTERNET, InternetCloseHandle>>;

// Declared in this order so the request is closed before its root.
struct OpenedUrl {
    InternetHandle root;
    InternetHandle request;
};

OpenedUrl openUrl(std::string_view url, std::string_view agent) {
    OpenedUrl o;
    const std::wstring wideAgent = utf8ToWide(agent);
    // A missing root handle simply makes the calls below fail.
    o.root.reset(InternetOpenW(wideAgent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    DWORD timeout = kConnectTimeoutMs;
    InternetSetOptionW(o.root.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    const std::wstring wideUrl = utf8ToWide(url);
    // The request must reach the server, never a cached copy.
    DeleteUrlCacheEntryW(wideUrl.c_str());
    o.request.reset(InternetOpenUrlW(o.root.get(), wideUrl.c_str(), nullptr, 0, 0, 0));
    return o;
}

// Reads the body in 1024-byte chunks until a read fails or comes back empty;
// a transfer broken off half-way ends here like the end of the body. At most
// `limit` bytes reach the sink; returns false when more arrived or the sink
// refused a chunk.
template <class Sink>
bool readLoop(HINTERNET request, size_t limit, Sink&& sink) {
    uint8_t chunk[kReadChunk];
    size_t total = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request, chunk, sizeof chunk, &got) || got == 0) return true;
        const size_t keep = std::min<size_t>(got, limit - total);
        if (keep > 0 && !sink(chunk, keep)) return false;
        total += keep;
        if (keep < got) return false;
    }
}

bool writeAll(HANDLE file, const uint8_t* p, size_t n) {
    DWORD put = 0;
    return WriteFile(file, p, static_cast<DWORD>(n), &put, nullptr) && put == n;
}

KernelHandle createOutput(const std::filesystem::path& path) {
    return KernelHandle(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

Result<std::vector<uint8_t>> streamToFile(std::string_view url, std::string_view agent,
                                          const std::filesystem::path& path, bool keepBytes, size_t limit) {
    std::vector<uint8_t> out;
    OpenedUrl o = openUrl(url, agent);
    if (!o.request) return unreachable(url);
    KernelHandle file = createOutput(path);
    if (!file) return cannotWrite(path);
    bool writeFailed = false;
    const bool whole = readLoop(o.request.get(), limit, [&](const uint8_t* p, size_t n) {
        writeFailed = !writeAll(file.get(), p, n);
        if (writeFailed) return false;
        if (keepBytes) out.insert(out.end(), p, p + n);
        return true;
    });
    // On disk before the caller moves the file into place.
    if (!FlushFileBuffers(file.get())) writeFailed = true;
    file.reset();  // closed before returning so the caller may check, start or delete it
    if (writeFailed) return cannotWrite(path);
    if (!whole) return pastLimit(url, limit);
    return out;
}

Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n) {
    if (n > MAXDWORD) return pastLimit(url, MAXDWORD);
    OpenedUrl o = openUrl(url, agent);
    if (!o.request) return unreachable(url);
    // A slow server hands the first bytes over in pieces: read until the
    // prefix is whole or the reply ends, never judging by what has arrived.
    std::vector<uint8_t> prefix(n);
    size_t have = 0;
    while (have < n) {
        DWORD got = 0;
        if (!InternetReadFile(o.request.get(), prefix.data() + have, static_cast<DWORD>(n - have), &got) || got == 0) {
            return endedShort(url, n);
        }
        have += got;
    }
    return prefix;  // the rest of the reply is never read
}

Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit) {
    FetchedBody out;
    OpenedUrl o = openUrl(url, agent);
    if (!o.request) return unreachable(url);
    const bool whole = readLoop(o.request.get(), limit, [&](const uint8_t* p, size_t n) {
        out.bytes.insert(out.bytes.end(), p, p + n);
        return true;
    });
    out.cut = !whole;
    return out;
}

}  // namespace rw::platform
