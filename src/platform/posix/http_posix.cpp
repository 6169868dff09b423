// Downloads through libcurl, behaving like the WinINet backend: the same user
// agents, no proxy, a 2000 ms connect time-out, redirects followed, only a
// final 200 taken, an overall deadline, and a transfer broken off half-way
// ending like the end of the body. "Opened" means the final reply's headers
// arrived, which is when InternetOpenUrlW hands back its request handle.
#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/http.h"

namespace rw::platform {
namespace {

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

// One GET. onData takes each piece of the body and returns false to stop reading.
struct Transfer {
    std::function<bool(const uint8_t*, size_t)> onData;

    CURL* curl = nullptr;
    bool opened = false;
    bool refused = false;
    bool sawLocation = false;
};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
           });
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
            if (code != 200) {  // an error page or a portal's page is not the file
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
bool run(std::string_view url, std::string_view agent, std::chrono::milliseconds deadline, Transfer& t) {
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
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline.count()));
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    // A secure URL never ends on plain HTTP.
    const char* protocols = isSecureUrl(urlText) ? "https" : "http,https";
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
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
    const CURLcode ended = curl_easy_perform(c);
    t.curl = nullptr;
    return t.opened && !t.refused && ended != CURLE_OPERATION_TIMEDOUT;
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

Result<std::vector<uint8_t>> fetchPrefix(std::string_view url, std::string_view agent, size_t n,
                                         std::chrono::milliseconds deadline) {
    std::vector<uint8_t> prefix;
    Transfer t;
    t.onData = [&](const uint8_t* p, size_t len) {
        const size_t keep = std::min(len, n - prefix.size());
        prefix.insert(prefix.end(), p, p + keep);
        return prefix.size() < n;  // the rest of the reply is never read
    };
    if (!run(url, agent, deadline, t)) return unreachableFailure(url);
    if (prefix.size() != n) return shortReplyFailure(url, n);
    return prefix;
}

Result<FetchedBody> fetchToMemory(std::string_view url, std::string_view agent, size_t limit,
                                  std::chrono::milliseconds deadline) {
    FetchedBody out;
    LimitedSink limiter{limit};
    Transfer t;
    t.onData = [&](const uint8_t* p, size_t len) {
        return limiter.take(p, len, [&](const uint8_t* q, size_t m) {
            out.bytes.insert(out.bytes.end(), q, q + m);
            return true;
        });
    };
    if (!run(url, agent, deadline, t)) return unreachableFailure(url);
    out.cut = limiter.overflowed;
    return out;
}

}  // namespace rw::platform
