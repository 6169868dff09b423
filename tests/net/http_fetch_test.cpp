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
using test::serverPatternBytes;
using test::ServedFolder;

std::string special(std::string_view what) { return test::serverUrl("/_/" + std::string(what)); }
const Bytes kBody = bytesOf("0123456789ABCDEFGHIJ");

Bytes errorPage(int code) {
    return bytesOf("<html><body><h1>" + std::to_string(code) + " Error</h1><p>Test error page.</p></body></html>\n");
}

TEST(FetchPrefix, ExactLengthPassesOneShortFails) {
    ServedFolder served;
    served.put("eight.dat", "12345678");
    served.put("seven.dat", "1234567");
    served.put("twelve.dat", "0123456789AB-and-more");
    // A slow server: the prefix is read until it is whole or the reply ends.
    for (const char* name : {"slow8.dat", "slow7.dat"}) served.put(std::string(name) + ".slow", "");
    served.put("slow8.dat", "12345678");
    served.put("slow7.dat", "1234567");
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
        {special("empty"), 8, std::nullopt},
        {served.url("slow8.dat"), 8, bytesOf("12345678")},
        {served.url("slow7.dat"), 8, std::nullopt},
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
        {special("empty"), kNoLimit, true, false, {}},
        // Many reads: more than one chunk, with and without a Content-Length.
        {special("bytes/70000"), kNoLimit, true, false, serverPatternBytes(70000)},
        {special("stream/5000"), kNoLimit, true, false, serverPatternBytes(5000)},
        {special("slow/3000"), kNoLimit, true, false, serverPatternBytes(3000)},
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

TEST(FetchToFile, ReplacesTheFileWithWhateverArrives) {
    ServedFolder served;
    served.put("body.txt", kBody);
    test::TempDir dir;
    const struct {
        std::string url;
        size_t limit;
        bool ok;
        std::optional<Bytes> file;  // none: not looked at
    } rows[] = {
        {served.url("body.txt"), kNoLimit, true, kBody},
        {special("empty"), kNoLimit, true, Bytes{}},
        {special("drop/10000/2500"), kNoLimit, true, serverPatternBytes(2500)},
        {special("status/404"), kNoLimit, true, errorPage(404)},
        {deadUrl("/x"), kNoLimit, false, bytesOf("old contents")},  // left alone
        {special("bytes/3000"), 2048, false, std::nullopt},
        {special("bytes/2048"), 2048, true, serverPatternBytes(2048)},
    };
    for (const auto& r : rows) {
        const auto target = dir.write("out.dat", std::string("old contents"));
        EXPECT_EQ(fetchToFile(r.url, kRecordsAgent, target, r.limit), r.ok) << r.url;
        if (r.file) EXPECT_EQ(test::readAll(target), *r.file) << r.url;
    }
    EXPECT_FALSE(fetchToFile(deadUrl("/x"), kRecordsAgent, dir / "absent.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.dat"));
    EXPECT_FALSE(fetchToFile(special("bytes/10"), kRecordsAgent, dir / "no-such-folder" / "out.dat"));
}

TEST(FetchToFileAndMemory, FileAndMemoryHoldTheBody) {
    ServedFolder served;
    served.put("new.exe", kBody);
    test::TempDir dir;
    const struct {
        std::string url;
        size_t limit;
        bool ok, incomplete;
        Bytes bytes;
    } rows[] = {
        {served.url("new.exe"), kNoLimit, true, false, kBody},
        {special("drop/8000/5000"), kNoLimit, true, false, serverPatternBytes(5000)},  // looks like the end
        {special("bytes/9000"), 8192, true, true, serverPatternBytes(8192)},
        {deadUrl("/new.exe"), kNoLimit, false, false, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.url);
        std::filesystem::remove(dir / "new.exe");
        const FetchedFileAndBytes got = fetchToFileAndMemory(r.url, kUpdateAgent, dir / "new.exe", r.limit);
        EXPECT_EQ(got.ok, r.ok);
        EXPECT_EQ(got.incomplete, r.incomplete);
        EXPECT_EQ(got.bytes, r.bytes);
        // Closed and on disk on return; not created when the URL does not open.
        if (!r.incomplete) EXPECT_EQ(std::filesystem::exists(dir / "new.exe") ? test::readAll(dir / "new.exe") : Bytes{}, r.bytes);
    }
    EXPECT_FALSE(fetchToFileAndMemory(special("bytes/100"), kUpdateAgent, dir / "missing" / "new.exe", kNoLimit).ok);
}

}  // namespace
}  // namespace rw::platform
