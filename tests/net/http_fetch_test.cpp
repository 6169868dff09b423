// The download operations against a real HTTP server on 127.0.0.1. The same
// tests run natively (libcurl) and under Wine (WinINet).
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "platform/http.h"
#include "recdata.h"
#include "test_server.h"

namespace rw::platform {
namespace {

using test::Bytes;
using test::bytesOf;

std::string special(std::string_view what) { return test::serverUrl("/_/" + std::string(what)); }

// The server's generated bodies.
Bytes pattern(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    return bytes;
}

// Every operation takes whatever body of a 200 reply arrives, however it ends;
// a URL that does not open or answers with another status gives nothing.
// fetchPrefix wants its 8 bytes whole.
TEST(Fetch, BodiesOfEveryShape) {
    test::ServedFolder served;
    const Bytes body = bytesOf("0123456789ABCDEFGHIJ");
    served.put("body.txt", body);
    served.put("body.txt.slow", "");  // sent a few bytes at a time
    served.put("seven.dat", "1234567");
    served.put("seven.dat.slow", "");
    served.put("gone.txt", body);
    served.put("gone.txt.unreachable", "");  // redirected to a port where nothing listens
    const struct {
        std::string url;
        size_t limit;
        bool opened, overflowed;
        Bytes bytes;
    } rows[] = {
        {served.url("body.txt"), kNoLimit, true, false, body},
        {served.url("seven.dat"), kNoLimit, true, false, bytesOf("1234567")},
        {special("bytes/8"), kNoLimit, true, false, pattern(8)},
        {special("status/500"), kNoLimit, false, false, {}},
        {special("status/404"), kNoLimit, false, false, {}},
        {special("bytes/0"), kNoLimit, true, false, {}},
        {special("bytes/70000"), kNoLimit, true, false, pattern(70000)},  // many reads
        {test::serverUrl("/_/redirect" + served.path("body.txt")), kNoLimit, true, false, body},
        {special("bytes/10000/3000"), kNoLimit, true, false, pattern(3000)},  // a dropped connection ends the body
        {test::deadUrl("/body.txt"), kNoLimit, false, false, {}},
        {served.url("gone.txt"), kNoLimit, false, false, {}},
        {special("bytes/5000"), 4096, true, true, pattern(4096)},
        {special("bytes/4096"), 4096, true, false, pattern(4096)},
        // An endless-looking stream without a Content-Length is cut off, not held in memory whole.
        {special("stream/67108864"), 1u << 20, true, true, pattern(1u << 20)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        const Result<FetchedBody> got = fetchToMemory(r.url, kUpdateAgent, r.limit);
        ASSERT_EQ(got.ok(), r.opened);
        if (got) {
            EXPECT_EQ(std::tuple(got->cut, got->bytes), std::tuple(r.overflowed, r.bytes));
        }
        const Result<Bytes> prefix = fetchPrefix(r.url, kUpdateAgent, 8);
        if (!r.opened || r.bytes.size() < 8) {
            EXPECT_EQ(prefix.ok() ? FailureKind::usage : prefix.kind(),
                      r.opened ? FailureKind::tooSmall : FailureKind::unreachable);
        } else {
            EXPECT_EQ(prefix.ok() ? *prefix : Bytes{}, Bytes(r.bytes.begin(), r.bytes.begin() + 8));
        }
    }
    // A slow body past its deadline is a failure, not a short body.
    const auto deadline = std::chrono::milliseconds(150);
    EXPECT_FALSE(fetchToMemory(served.url("body.txt"), kUpdateAgent, kNoLimit, deadline));
    const Result<Bytes> late = fetchPrefix(served.url("body.txt"), kUpdateAgent, 20, deadline);
    EXPECT_EQ(late.ok() ? FailureKind::usage : late.kind(), FailureKind::unreachable);
}

// The server's self-signed certificate is refused unless CURL_CA_BUNDLE names
// it. (WinINet refuses it even in the prefix's root store, for want of
// revocation data, so under Wine only the refusal is tested.)
TEST(Fetch, HttpsOnlyWithATrustedCertificate) {
    test::ServedFolder served;
    served.put("body.txt", "0123456789");
    const std::string url = test::serverUrl(served.path("body.txt"), 2);
    EXPECT_FALSE(fetchToMemory(url, kUpdateAgent, kNoLimit));
#ifndef _WIN32
    ASSERT_EQ(setenv("CURL_CA_BUNDLE", (test::kServerState / "tls.pem").c_str(), 1), 0);
    const Result<FetchedBody> trusted = fetchToMemory(url, kUpdateAgent, kNoLimit);
    unsetenv("CURL_CA_BUNDLE");
    ASSERT_TRUE(trusted);
    EXPECT_EQ(trusted->bytes, bytesOf("0123456789"));
#endif
}

}  // namespace
}  // namespace rw::platform
