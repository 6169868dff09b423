// The four download operations against a real HTTP server on 127.0.0.1. The
// same tests run natively (libcurl) and under Wine (WinINet).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/http.h"
#include "temp_dir.h"
#include "test_server.h"

namespace rw::platform {
namespace {

using test::serverPatternBytes;
using test::ServedFolder;
using test::TempDir;
using test::TestServer;

std::vector<uint8_t> bytesOf(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string special(std::string_view what) { return TestServer::instance().url(std::string("/_/") + std::string(what)); }

const std::vector<uint8_t> kBody = bytesOf("0123456789ABCDEFGHIJ");

std::vector<uint8_t> errorPage(int code) {
    return bytesOf("<html><body><h1>" + std::to_string(code) + " Error</h1><p>Test error page.</p></body></html>\n");
}

TEST(FetchPrefix, ExactLengthPassesOneShortFails) {
    ServedFolder served;
    served.put("eight.dat", std::string_view("12345678"));
    served.put("seven.dat", std::string_view("1234567"));
    served.put("twelve.dat", std::string_view("0123456789AB-and-more"));

    auto eight = fetchPrefix(served.url("eight.dat"), kUpdateAgent, 8);
    ASSERT_TRUE(eight.has_value());
    EXPECT_EQ(*eight, bytesOf("12345678"));
    EXPECT_FALSE(fetchPrefix(served.url("seven.dat"), kUpdateAgent, 8).has_value());

    auto twelve = fetchPrefix(served.url("twelve.dat"), kRecordsAgent, 12);
    ASSERT_TRUE(twelve.has_value());
    EXPECT_EQ(*twelve, bytesOf("0123456789AB"));

    // The status is never looked at: an error page of 8 bytes or more passes.
    EXPECT_EQ(fetchPrefix(special("status/404"), kUpdateAgent, 8), bytesOf("<html><b"));
    EXPECT_FALSE(fetchPrefix(TestServer::instance().deadUrl("/x"), kUpdateAgent, 8).has_value());
    EXPECT_FALSE(fetchPrefix(special("empty"), kUpdateAgent, 8).has_value());

    // A slow server: the prefix is read until it is whole or the reply ends.
    served.put("eight.dat.slow", std::string_view());
    served.put("seven.dat.slow", std::string_view());
    EXPECT_EQ(fetchPrefix(served.url("eight.dat"), kUpdateAgent, 8), bytesOf("12345678"));
    EXPECT_FALSE(fetchPrefix(served.url("seven.dat"), kUpdateAgent, 8).has_value());
}

TEST(FetchPrefix, SendsTheAgent) {
    ServedFolder served;
    served.put("d.dat", std::string_view("0123456789AB"));
    ASSERT_TRUE(fetchPrefix(served.url("d.dat"), kRecordsAgent, 12).has_value());
    ASSERT_TRUE(fetchPrefix(served.url("d.dat"), kUpdateAgent, 8).has_value());
    EXPECT_EQ(served.requests(), (std::vector<std::string>{"VoZedida /d.dat", "RWUpdate /d.dat"}));
}

TEST(FetchToMemory, WholeBodiesOfEveryShape) {
    ServedFolder served;
    served.put("body.txt", kBody);

    FetchedBytes plain = fetchToMemory(served.url("body.txt"), kUpdateAgent, kNoLimit);
    EXPECT_TRUE(plain.opened);
    EXPECT_FALSE(plain.overflowed);
    EXPECT_EQ(plain.bytes, kBody);

    FetchedBytes error = fetchToMemory(special("status/500"), kUpdateAgent, kNoLimit);
    EXPECT_TRUE(error.opened);
    EXPECT_EQ(error.bytes, errorPage(500));

    FetchedBytes empty = fetchToMemory(special("empty"), kUpdateAgent, kNoLimit);
    EXPECT_TRUE(empty.opened);
    EXPECT_TRUE(empty.bytes.empty());

    // Many reads: more than one chunk, with and without a Content-Length.
    EXPECT_EQ(fetchToMemory(special("bytes/70000"), kUpdateAgent, kNoLimit).bytes, serverPatternBytes(70000));
    EXPECT_EQ(fetchToMemory(special("stream/5000"), kUpdateAgent, kNoLimit).bytes, serverPatternBytes(5000));
    EXPECT_EQ(fetchToMemory(special("slow/3000"), kUpdateAgent, kNoLimit).bytes, serverPatternBytes(3000));

    FetchedBytes moved = fetchToMemory(TestServer::instance().url("/_/redirect" + served.path("body.txt")),
                                       kUpdateAgent, kNoLimit);
    EXPECT_TRUE(moved.opened);
    EXPECT_EQ(moved.bytes, kBody);

    // A dropped connection gives the partial bytes.
    FetchedBytes cut = fetchToMemory(special("drop/10000/3000"), kUpdateAgent, kNoLimit);
    EXPECT_TRUE(cut.opened);
    EXPECT_EQ(cut.bytes, serverPatternBytes(3000));
}

TEST(FetchToMemory, UnopenedUrlGivesNothing) {
    FetchedBytes refused = fetchToMemory(TestServer::instance().deadUrl("/body.txt"), kUpdateAgent, kNoLimit);
    EXPECT_FALSE(refused.opened);
    EXPECT_TRUE(refused.bytes.empty());

    // Redirected to a port where nothing listens: the URL does not open either.
    ServedFolder served;
    served.put("body.txt", kBody);
    served.put("body.txt.unreachable", std::string_view());
    FetchedBytes redirected = fetchToMemory(served.url("body.txt"), kUpdateAgent, kNoLimit);
    EXPECT_FALSE(redirected.opened);
    EXPECT_TRUE(redirected.bytes.empty());
}

TEST(FetchToMemory, StopsAtTheLimit) {
    FetchedBytes over = fetchToMemory(special("bytes/5000"), kUpdateAgent, 4096);
    EXPECT_TRUE(over.opened);
    EXPECT_TRUE(over.overflowed);
    EXPECT_EQ(over.bytes, serverPatternBytes(4096));

    FetchedBytes exact = fetchToMemory(special("bytes/4096"), kUpdateAgent, 4096);
    EXPECT_FALSE(exact.overflowed);
    EXPECT_EQ(exact.bytes.size(), 4096u);

    // An endless-looking stream is cut off, not held in memory whole.
    FetchedBytes big = fetchToMemory(special("stream/67108864"), kUpdateAgent, 1u << 20);
    EXPECT_TRUE(big.overflowed);
    EXPECT_EQ(big.bytes.size(), 1u << 20);
}

TEST(FetchToMemory, NeverServedFromACache) {
    ServedFolder served;
    served.put("changing.txt", std::string_view("first version"));
    EXPECT_EQ(fetchToMemory(served.url("changing.txt"), kUpdateAgent, kNoLimit).bytes, bytesOf("first version"));
    served.put("changing.txt", std::string_view("later version"));
    EXPECT_EQ(fetchToMemory(served.url("changing.txt"), kUpdateAgent, kNoLimit).bytes, bytesOf("later version"));
    EXPECT_EQ(served.requests().size(), 2u);
}

TEST(FetchToFile, ReplacesAnExistingFile) {
    ServedFolder served;
    served.put("body.txt", kBody);
    TempDir dir;
    const auto target = dir.write("out.dat", std::string(5000, 'x'));
    EXPECT_TRUE(fetchToFile(served.url("body.txt"), kRecordsAgent, target));
    EXPECT_EQ(test::readAll(target), kBody);
}

TEST(FetchToFile, ShortAndEmptyRepliesStillSucceed) {
    TempDir dir;
    const auto target = dir.write("out.dat", std::string("old contents"));
    EXPECT_TRUE(fetchToFile(special("empty"), kRecordsAgent, target));
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_TRUE(test::readAll(target).empty());

    EXPECT_TRUE(fetchToFile(special("drop/10000/2500"), kRecordsAgent, target));
    EXPECT_EQ(test::readAll(target), serverPatternBytes(2500));

    EXPECT_TRUE(fetchToFile(special("status/404"), kRecordsAgent, target));
    EXPECT_EQ(test::readAll(target), errorPage(404));
}

TEST(FetchToFile, UnopenedUrlOrUncreatableFileFailsAndLeavesFilesAlone) {
    TempDir dir;
    const auto target = dir.write("out.dat", std::string("keep me"));
    EXPECT_FALSE(fetchToFile(TestServer::instance().deadUrl("/x"), kRecordsAgent, target));
    EXPECT_EQ(test::readAll(target), bytesOf("keep me"));

    const auto absent = dir / "absent.dat";
    EXPECT_FALSE(fetchToFile(TestServer::instance().deadUrl("/x"), kRecordsAgent, absent));
    EXPECT_FALSE(std::filesystem::exists(absent));
    // Nor can a file be created in a missing folder.
    EXPECT_FALSE(fetchToFile(special("bytes/10"), kRecordsAgent, dir / "no-such-folder" / "out.dat"));
}

TEST(FetchToFile, BodyPastTheLimitFails) {
    TempDir dir;
    EXPECT_FALSE(fetchToFile(special("bytes/3000"), kRecordsAgent, dir / "out.dat", 2048));
    EXPECT_TRUE(fetchToFile(special("bytes/2048"), kRecordsAgent, dir / "out.dat", 2048));
    EXPECT_EQ(test::readAll(dir / "out.dat"), serverPatternBytes(2048));
}

TEST(FetchToFileAndMemory, FileAndMemoryHoldTheBody) {
    ServedFolder served;
    served.put("new.exe", kBody);
    TempDir dir;
    FetchedFileAndBytes r = fetchToFileAndMemory(served.url("new.exe"), kUpdateAgent, dir / "new.exe", kNoLimit);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.incomplete);
    EXPECT_EQ(r.bytes, kBody);
    EXPECT_EQ(test::readAll(dir / "new.exe"), kBody);  // closed and complete on return

    r = fetchToFileAndMemory(TestServer::instance().deadUrl("/new.exe"), kUpdateAgent, dir / "absent.exe", kNoLimit);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.exe"));
    r = fetchToFileAndMemory(special("bytes/100"), kUpdateAgent, dir / "missing" / "new.exe", kNoLimit);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.bytes.empty());
}

TEST(FetchToFileAndMemory, PartialAndOversizedBodies) {
    TempDir dir;
    FetchedFileAndBytes cut = fetchToFileAndMemory(special("drop/8000/5000"), kUpdateAgent, dir / "a.exe", kNoLimit);
    EXPECT_TRUE(cut.ok);
    EXPECT_FALSE(cut.incomplete);  // a dropped connection looks like the end of the body
    EXPECT_EQ(cut.bytes, serverPatternBytes(5000));
    EXPECT_EQ(test::readAll(dir / "a.exe"), cut.bytes);

    FetchedFileAndBytes over = fetchToFileAndMemory(special("bytes/9000"), kUpdateAgent, dir / "b.exe", 8192);
    EXPECT_TRUE(over.ok);
    EXPECT_TRUE(over.incomplete);
    EXPECT_EQ(over.bytes.size(), 8192u);
}

}  // namespace
}  // namespace rw::platform
