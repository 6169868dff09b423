// The download operations against a real HTTP server on 127.0.0.1. The same
// tests run natively (libcurl) and under Wine (WinINet).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/http.h"
#include "recdata.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw::platform {
namespace {

using test::Bytes;
using test::bytesOf;
using test::deadUrl;
using test::ServedFolder;

std::string special(std::string_view what) { return test::serverUrl("/_/" + std::string(what)); }
const Bytes kBody = bytesOf("0123456789ABCDEFGHIJ");

// The server's generated bodies.
Bytes serverPatternBytes(size_t n) {
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    return bytes;
}

Bytes errorPage(int code) {
    return bytesOf("<html><body><h1>" + std::to_string(code) + " Error</h1><p>Test error page.</p></body></html>\n");
}

TEST(FetchPrefix, ExactLengthPassesOneShortFails) {
    ServedFolder served;
    served.put("eight.dat", "12345678");
    served.put("seven.dat", "1234567");
    served.put("twelve.dat", "0123456789AB-and-more");
    // From a slow server the prefix is read until it is whole or the reply ends.
    served.put("seven.dat.slow", "");
    served.put("twelve.dat.slow", "");
    const struct {
        std::string url;
        size_t n;
        std::optional<Bytes> prefix;
    } rows[] = {
        {served.url("eight.dat"), 8, bytesOf("12345678")},
        {served.url("seven.dat"), 8, std::nullopt},
        {served.url("twelve.dat"), 12, bytesOf("0123456789AB")},
        {special("status/404"), 8, bytesOf("<html><b")},  // the status is never looked at
        {deadUrl("/x"), 8, std::nullopt},
        {special("bytes/0"), 8, std::nullopt},
    };
    for (const auto& r : rows) EXPECT_EQ(fetchPrefix(r.url, kUpdateAgent, r.n), r.prefix) << r.url;
}

TEST(Fetch, SendsTheAgentAndNeverUsesACache) {
    ServedFolder served;
    served.put("d.dat", "first version");
    EXPECT_EQ(fetchPrefix(served.url("d.dat"), kRecordsAgent, 5), bytesOf("first"));
    served.put("d.dat", "later version");
    EXPECT_EQ(fetchToMemory(served.url("d.dat"), kUpdateAgent, kNoLimit).bytes, bytesOf("later version"));
    EXPECT_EQ(served.requests(), (std::vector<std::string>{"VoZedida /d.dat", "RWUpdate /d.dat"}));
}

TEST(FetchToMemory, BodiesOfEveryShape) {
    ServedFolder served;
    served.put("body.txt", kBody);
    served.put("gone.txt", kBody);
    served.put("gone.txt.unreachable", "");  // redirected to a port where nothing listens
    const struct {
        std::string url;
        size_t limit;
        bool opened, overflowed;
        Bytes bytes;
    } rows[] = {
        {served.url("body.txt"), kNoLimit, true, false, kBody},
        {special("status/500"), kNoLimit, true, false, errorPage(500)},
        {special("bytes/0"), kNoLimit, true, false, {}},
        // Many reads: more than one chunk, with and without a Content-Length.
        {special("bytes/70000"), kNoLimit, true, false, serverPatternBytes(70000)},
        {special("stream/5000"), kNoLimit, true, false, serverPatternBytes(5000)},
        {test::serverUrl("/_/redirect" + served.path("body.txt")), kNoLimit, true, false, kBody},
        {special("drop/10000/3000"), kNoLimit, true, false, serverPatternBytes(3000)},  // the partial bytes
        {deadUrl("/body.txt"), kNoLimit, false, false, {}},
        {served.url("gone.txt"), kNoLimit, false, false, {}},
        {special("bytes/5000"), 4096, true, true, serverPatternBytes(4096)},
        {special("bytes/4096"), 4096, true, false, serverPatternBytes(4096)},
        // An endless-looking stream is cut off, not held in memory whole.
        {special("stream/67108864"), 1u << 20, true, true, serverPatternBytes(1u << 20)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        const FetchedBytes got = fetchToMemory(r.url, kUpdateAgent, r.limit);
        EXPECT_EQ(got.opened, r.opened);
        EXPECT_EQ(got.overflowed, r.overflowed);
        EXPECT_EQ(got.bytes, r.bytes);
    }
}

// The test server's certificate comes from an authority no system trusts:
// refused unless that authority is named. (Under Wine, WinINet also refuses it
// once the authority is in the prefix's root store: it then wants revocation
// data a throwaway authority cannot give, so only the refusal is tested there.)
TEST(FetchToMemory, HttpsOnlyWithATrustedCertificate) {
    ServedFolder served;
    served.put("body.txt", kBody);
    const std::string url = test::tlsUrl(served.path("body.txt"));
    EXPECT_FALSE(fetchToMemory(url, kUpdateAgent, kNoLimit).opened);
#ifndef _WIN32
    ASSERT_EQ(setenv("CURL_CA_BUNDLE", test::tlsAuthority().c_str(), 1), 0);
    const FetchedBytes trusted = fetchToMemory(url, kUpdateAgent, kNoLimit);
    unsetenv("CURL_CA_BUNDLE");
    EXPECT_EQ(trusted.bytes, kBody);
#endif
}

// Both file operations create or replace the file with whatever arrives; when
// the URL does not open an existing file is left alone and none is created.
TEST(FetchToFile, TheFileHoldsWhateverArrives) {
    ServedFolder served;
    served.put("body.txt", kBody);
    test::TempDir dir;
    const struct {
        std::string url;
        size_t limit;
        bool opened, incomplete;  // incomplete: the body ran past the limit
        Bytes bytes;
    } rows[] = {
        {served.url("body.txt"), kNoLimit, true, false, kBody},
        {special("bytes/0"), kNoLimit, true, false, {}},
        {special("drop/10000/2500"), kNoLimit, true, false, serverPatternBytes(2500)},  // looks like the end
        {special("status/404"), kNoLimit, true, false, errorPage(404)},
        {special("bytes/3000"), 2048, true, true, serverPatternBytes(2048)},
        {special("bytes/2048"), 2048, true, false, serverPatternBytes(2048)},
        {deadUrl("/x"), kNoLimit, false, false, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        const auto old = dir.write("old.dat", std::string("old contents"));
        EXPECT_EQ(fetchToFile(r.url, kRecordsAgent, old, r.limit), r.opened && !r.incomplete);
        EXPECT_EQ(test::readAll(old), r.opened ? r.bytes : bytesOf("old contents"));  // a cut body: the part
        // Closed and on disk on return, so the caller may check, move or start it.
        std::filesystem::remove(dir / "new.exe");
        const FetchedFileAndBytes got = fetchToFileAndMemory(r.url, kUpdateAgent, dir / "new.exe", r.limit);
        EXPECT_EQ(got.ok, r.opened);
        EXPECT_EQ(got.incomplete, r.incomplete);
        EXPECT_EQ(got.bytes, r.bytes);
        EXPECT_EQ(std::filesystem::exists(dir / "new.exe"), r.opened);
        EXPECT_EQ(r.opened ? test::readAll(dir / "new.exe") : Bytes{}, r.bytes);
    }
    EXPECT_FALSE(fetchToFile(special("bytes/10"), kRecordsAgent, dir / "no-such-folder" / "out.dat"));
    EXPECT_FALSE(fetchToFileAndMemory(special("bytes/10"), kUpdateAgent, dir / "no-such-folder" / "a", kNoLimit).ok);
}

}  // namespace
}  // namespace rw::platform
