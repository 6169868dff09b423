// The download operations against a real HTTP server on 127.0.0.1. The same
// tests run natively (libcurl) and under Wine (WinINet).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

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

// Every operation takes whatever body arrives, however it ends and whatever the
// status; only a URL that does not open gives nothing. fetchPrefix wants its
// 8 bytes whole; the file operations create or replace the file, leave an
// existing one alone when the URL does not open, and are closed on return.
TEST(Fetch, BodiesOfEveryShape) {
    test::ServedFolder served;
    const Bytes body = bytesOf("0123456789ABCDEFGHIJ");
    served.put("body.txt", body);
    served.put("body.txt.slow", "");  // sent a few bytes at a time
    served.put("seven.dat", "1234567");
    served.put("seven.dat.slow", "");
    served.put("gone.txt", body);
    served.put("gone.txt.unreachable", "");  // redirected to a port where nothing listens
    test::TempDir dir;
    const struct {
        std::string url;
        size_t limit;
        bool opened, overflowed;
        Bytes bytes;
    } rows[] = {
        {served.url("body.txt"), kNoLimit, true, false, body},
        {served.url("seven.dat"), kNoLimit, true, false, bytesOf("1234567")},
        {special("bytes/8"), kNoLimit, true, false, pattern(8)},
        {special("status/500"), kNoLimit, true, false,
         bytesOf("<html><body><h1>500 Error</h1><p>Test error page.</p></body></html>\n")},
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
        EXPECT_EQ(got ? got->cut : false, r.overflowed);
        EXPECT_EQ(got ? got->bytes : Bytes{}, r.bytes);
        const Result<Bytes> prefix = fetchPrefix(r.url, kUpdateAgent, 8);
        EXPECT_EQ(prefix ? *prefix : Bytes{}, Bytes(r.bytes.begin(), r.bytes.begin() + (r.bytes.size() < 8 ? 0 : 8)));
        EXPECT_TRUE(prefix || prefix.kind() == (r.opened ? FailureKind::tooSmall : FailureKind::unreachable));

        // Past the limit the file keeps the part that fitted.
        const auto old = dir.write("old.dat", std::string("old contents"));
        const Result<> toFile = fetchToFile(r.url, kRecordsAgent, old, r.limit);
        EXPECT_EQ(toFile.ok(), r.opened && !r.overflowed);
        EXPECT_TRUE(!r.overflowed || toFile.kind() == FailureKind::tooLarge);
        EXPECT_EQ(test::readAll(old), r.opened ? r.bytes : bytesOf("old contents"));
        std::filesystem::remove(dir / "new.exe");
        const Result<Bytes> both = fetchToFileAndMemory(r.url, kUpdateAgent, dir / "new.exe", r.limit);
        EXPECT_EQ(both.ok(), r.opened && !r.overflowed);
        EXPECT_EQ(both ? *both : Bytes{}, r.overflowed ? Bytes{} : r.bytes);
        EXPECT_EQ(r.opened ? test::readAll(dir / "new.exe") : Bytes{}, r.bytes);
        EXPECT_EQ(std::filesystem::exists(dir / "new.exe"), r.opened);
    }
    // A file that cannot be created is not a connection failure.
    EXPECT_EQ(fetchToFile(special("bytes/10"), kRecordsAgent, dir / "no-such-folder" / "a").kind(),
              FailureKind::system);
    EXPECT_EQ(fetchToFileAndMemory(special("bytes/10"), kUpdateAgent, dir / "no-such-folder" / "a", kNoLimit).kind(),
              FailureKind::system);
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
