// Downloads through libcurl, behaving like the WinINet backend: the same user
// agents, no proxy, a 2000 ms connect time-out, redirects followed, the status
// code ignored, and a transfer broken off half-way ending like the end of the
// body. "Opened" means the final reply's headers arrived, which is when
// InternetOpenUrlW hands back its request handle.
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/http.h"
#include "platform/http_stream.h"

namespace rw::platform {
namespace {

// WinINet ends a transfer that stalls by its receive time-out; without a limit
// of its own a silent server would hold the update pass forever.
constexpr long kStallSeconds = 60;
constexpr long kMaxRedirects = 10;

void initCurlOnce() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

class CurlEasy {
public:
    CurlEasy() : h_(curl_easy_init()) {}
    ~CurlEasy() {
        if (h_) curl_easy_cleanup(h_);
    }
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;
    CURL* get() const { return h_; }

private:
    CURL* h_;
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool create(const std::filesystem::path& path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        return fd_ >= 0;
    }
    bool write(const uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t put = ::write(fd_, p, n);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            p += put;
            n -= static_cast<size_t>(put);
        }
        return true;
    }
    // On disk before the caller moves the file into place.
    bool close() {
        if (fd_ < 0) return true;
        int fd = fd_;
        fd_ = -1;
        const bool synced = ::fsync(fd) == 0;
        return ::close(fd) == 0 && synced;
    }

private:
    int fd_ = -1;
};

// One GET. onOpened runs once when the final reply's headers are complete and
// may refuse the transfer; onData takes each piece of the body and returns
// false to stop reading.
struct Transfer {
    std::function<bool()> onOpened;
    std::function<bool(const uint8_t*, size_t)> onData;

    CURL* curl = nullptr;
    bool opened = false;
    bool refused = false;
    bool sawLocation = false;
};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(text[i]);
        unsigned char b = static_cast<unsigned char>(prefix[i]);
        if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    if (startsWithNoCase(line, "HTTP/")) {
        t->sawLocation = false;
    } else if (startsWithNoCase(line, "Location:")) {
        t->sawLocation = true;
    } else if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &code);
        const bool interim = code >= 100 && code < 200;
        const bool redirected = code >= 300 && code < 400 && t->sawLocation;
        if (!interim && !redirected && !t->opened) {
            t->opened = true;
            if (t->onOpened && !t->onOpened()) {
                t->refused = true;
                return 0;  // aborts the transfer
            }
        }
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (!t->opened) return n;  // body of a redirect
    if (t->onData && !t->onData(reinterpret_cast<const uint8_t*>(data), n)) return 0;
    return n;
}

// Runs the transfer; true when the reply opened (and the opening step agreed).
// Whatever error ends the body afterwards is not an error here.
bool run(std::string_view url, std::string_view agent, Transfer& t) {
    initCurlOnce();
    CurlEasy easy;
    if (!easy.get()) return false;
    t.curl = easy.get();
    const std::string urlText(url);
    const std::string agentText(agent);
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_URL, urlText.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agentText.c_str());
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct connection, like INTERNET_OPEN_TYPE_DIRECT
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kConnectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    // A secure URL is never redirected to plain HTTP.
    const bool secure = urlText.rfind("https://", 0) == 0;
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    // Certificates are checked against the system's store; CURL_CA_BUNDLE names
    // another one, as it does for the curl tool (a company's own authority).
    if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle) {
        curl_easy_setopt(c, CURLOPT_CAINFO, bundle);
    }
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(kReadChunk));
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_perform(c);
    t.curl = nullptr;
    return t.opened && !t.refused;
}

// Passes at most `limit` bytes in total to `sink`; notes when more arrived.
struct LimitedSink {
    size_t limit;
    size_t total = 0;
    bool overflowed = false;

    template <class Sink>
    bool take(const uint8_t* p, size_t n, Sink&& sink) {
        const size_t room = limit - total;
        const size_t keep = std::min(n, room);
        if (keep > 0 && !sink(p, keep)) return false;
        total += keep;
        if (keep < n) {
            overflowed = true;
            return false;
        }
        return true;
    }
};

}  // namespace

Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n) {
    std::vector<uint8_t> prefix;
    Transfer t;
    t.onData = [&](const uint8_t* p, size_t len) {
        const size_t keep = std::min(len, n - prefix.size());
        prefix.insert(prefix.end(), p, p + keep);
        return prefix.size() < n;  // the rest of the reply is never read
    };
    if (!run(url, agent, t)) return unreachable(url);
    if (prefix.size() != n) return endedShort(url, n);
    return prefix;
}

Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit) {
    FetchedBody out;
    LimitedSink limiter{limit};
    Transfer t;
    t.onData = [&](const uint8_t* p, size_t len) {
        return limiter.take(p, len, [&](const uint8_t* q, size_t m) {
            out.bytes.insert(out.bytes.end(), q, q + m);
            return true;
        });
    };
    if (!run(url, agent, t)) return unreachable(url);
    out.cut = limiter.overflowed;
    return out;
}

Result<std::vector<uint8_t>> streamToFile(std::string_view url, std::string_view agent,
                                          const std::filesystem::path& path, bool keepBytes, size_t limit) {
    std::vector<uint8_t> out;
    OutputFile file;
    bool created = false;
    bool writeFailed = false;
    LimitedSink limiter{limit};
    Transfer t;
    t.onOpened = [&] {
        created = file.create(path);
        return created;
    };
    t.onData = [&](const uint8_t* p, size_t len) {
        return limiter.take(p, len, [&](const uint8_t* q, size_t m) {
            if (!file.write(q, m)) {
                writeFailed = true;
                return false;
            }
            if (keepBytes) out.insert(out.end(), q, q + m);
            return true;
        });
    };
    run(url, agent, t);
    if (!file.close()) writeFailed = true;
    if (!t.opened) return unreachable(url);
    if (!created || writeFailed) return cannotWrite(path);
    if (limiter.overflowed) return pastLimit(url, limit);
    return out;
}

}  // namespace rw::platform
