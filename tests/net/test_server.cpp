#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace rw::test {
namespace {

const std::filesystem::path kState = RW_TEST_HTTP_STATE;

// The port file: the server's port, the refusing port, the HTTPS port.
std::string onPort(int which, std::string_view scheme, std::string_view path) {
    static const std::vector<unsigned> ports = [] {
        std::ifstream in(kState / "port");
        std::vector<unsigned> p(3, 0);
        in >> p[0] >> p[1] >> p[2];
        return p;
    }();
    EXPECT_NE(ports[0], 0u) << "HTTP test server not running (state folder " << kState.string() << ")";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(ports[which]) + std::string(path);
}

std::vector<std::string> requestLog() {
    std::vector<std::string> lines;
    std::ifstream in(kState / "requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::string serverUrl(std::string_view path) { return onPort(0, "http", path); }
std::string deadUrl(std::string_view path) { return onPort(1, "http", path); }
std::string tlsUrl(std::string_view path) { return onPort(2, "https", path); }
std::filesystem::path tlsAuthority() { return kState / "tls" / "ca.pem"; }

std::vector<uint8_t> serverPatternBytes(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    return bytes;
}

ServedFolder::ServedFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    urlPath_ = "/t/" + name;
    dir_ = std::filesystem::path(RW_TEST_HTTP_ROOT) / "t" / name;
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    logStart_ = requestLog().size();
}

std::string ServedFolder::path(std::string_view relative) const { return urlPath_ + "/" + std::string(relative); }

void ServedFolder::put(std::string_view relative, std::span<const uint8_t> bytes) const {
    const auto file = dir_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

void ServedFolder::put(std::string_view relative, std::string_view text) const {
    put(relative, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::vector<std::string> ServedFolder::requests() const {
    std::vector<std::string> mine;
    const std::vector<std::string> log = requestLog();
    for (size_t i = logStart_; i < log.size(); ++i) {
        // Special paths carry the folder after their own prefix, e.g. /_/cut/5/t/...
        const size_t at = log[i].find(urlPath_ + "/");
        if (at != std::string::npos) mine.push_back(log[i].substr(0, at) + log[i].substr(at + urlPath_.size()));
    }
    return mine;
}

}  // namespace rw::test
