#include "test_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace rw::test {

const TestServer& TestServer::instance() {
    static const TestServer server = [] {
        TestServer s;
        s.root_ = RW_TEST_HTTP_ROOT;
        s.state_ = RW_TEST_HTTP_STATE;
        std::ifstream in(s.state_ / "port");
        unsigned port = 0, dead = 0, tls = 0;
        in >> port >> dead >> tls;
        s.port_ = static_cast<uint16_t>(port);
        s.deadPort_ = static_cast<uint16_t>(dead);
        s.tlsPort_ = static_cast<uint16_t>(tls);
        return s;
    }();
    EXPECT_NE(server.port_, 0) << "HTTP test server not running (state folder " << server.state_.string() << ")";
    return server;
}

std::string TestServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string TestServer::deadUrl(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(deadPort_) + std::string(path);
}

std::string TestServer::tlsUrl(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(tlsPort_) + std::string(path);
}

std::vector<std::string> TestServer::requestLog() const {
    std::vector<std::string> lines;
    std::ifstream in(state_ / "requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

ServedFolder::ServedFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "no-test";
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    urlPath_ = "/t/" + name;
    dir_ = TestServer::instance().root() / "t" / name;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    std::filesystem::create_directories(dir_);
    logStart_ = TestServer::instance().requestLog().size();
}

std::string ServedFolder::path(std::string_view relative) const {
    return urlPath_ + "/" + std::string(relative);
}

std::string ServedFolder::url(std::string_view relative) const { return TestServer::instance().url(path(relative)); }

void ServedFolder::put(std::string_view relative, std::span<const uint8_t> bytes) const {
    const auto file = dir_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ServedFolder::put(std::string_view relative, std::string_view text) const {
    put(relative, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void ServedFolder::remove(std::string_view relative) const {
    std::error_code ec;
    std::filesystem::remove(dir_ / std::filesystem::path(std::string(relative)), ec);
}

std::vector<std::string> ServedFolder::requests() const {
    std::vector<std::string> mine;
    const std::vector<std::string> log = TestServer::instance().requestLog();
    for (size_t i = logStart_; i < log.size(); ++i) {
        const std::string& line = log[i];
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        std::string_view path = std::string_view(line).substr(space + 1);
        // Special paths carry the folder after their own prefix, e.g. /_/cut/5/t/...
        const size_t at = path.find(urlPath_ + "/");
        if (at == std::string_view::npos) continue;
        std::string rest(path.substr(at + urlPath_.size()));
        mine.push_back(line.substr(0, space) + " " + std::string(path.substr(0, at)) + rest);
    }
    return mine;
}

std::vector<uint8_t> serverPatternBytes(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = serverPattern(i);
    return bytes;
}

}  // namespace rw::test
