#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "temp_dir.h"

namespace rw::test {
namespace {

const std::filesystem::path kState = RW_TEST_HTTP_STATE;

// The port file: the server's port, the refusing port, the HTTPS port.
std::string onPort(int which, std::string_view scheme, std::string_view path) {
    static const std::vector<unsigned> ports = [] {
        std::vector<unsigned> p(3, 0);
        std::ifstream(kState / "port") >> p[0] >> p[1] >> p[2];
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

void ServedFolder::put(std::string_view relative, std::span<const uint8_t> bytes) const {
    writeFile(dir_ / std::string(relative), bytes);
}

std::vector<std::string> ServedFolder::requests() const {
    std::vector<std::string> mine;
    const std::vector<std::string> log = requestLog();
    for (size_t i = logStart_; i < log.size(); ++i) {
        // Special paths carry the folder after their own prefix, e.g. /_/redirect/t/...
        const size_t at = log[i].find(urlPath_ + "/");
        if (at != std::string::npos) mine.push_back(log[i].substr(0, at) + log[i].substr(at + urlPath_.size()));
    }
    return mine;
}

}  // namespace rw::test
