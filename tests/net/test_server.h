#pragma once
// The HTTP test server started by the CTest fixture (http_test_server.py):
// where it listens, the folder it serves, and the log of requests it saw.
// Each test serves its files below a folder of its own, so tests running in
// parallel never see each other's files or requests.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rw::test {

class TestServer {
public:
    // Reads the port file; fails the current test when the server is not there.
    static const TestServer& instance();

    // "http://127.0.0.1:PORT" followed by the path.
    std::string url(std::string_view path) const;
    // A URL on a port where nothing listens: the connection is refused.
    std::string deadUrl(std::string_view path) const;
    uint16_t port() const { return port_; }
    // The same server over HTTPS, its certificate from an authority no system
    // trusts: tlsAuthority() is that authority's certificate (PEM).
    std::string tlsUrl(std::string_view path) const;
    std::filesystem::path tlsAuthority() const { return state_ / "tls" / "ca.pem"; }

    const std::filesystem::path& root() const { return root_; }
    // Every request so far, as "AGENT PATH" lines, in arrival order.
    std::vector<std::string> requestLog() const;

private:
    TestServer() = default;
    std::filesystem::path root_;
    std::filesystem::path state_;
    uint16_t port_ = 0;
    uint16_t deadPort_ = 0;
    uint16_t tlsPort_ = 0;
};

// A folder of the served tree that belongs to the running test: "/t/Suite.Name".
class ServedFolder {
public:
    ServedFolder();
    // The URL path of a file in this folder, e.g. "/t/Suite.Name/a.dat".
    std::string path(std::string_view relative = "") const;
    std::string url(std::string_view relative = "") const;
    // Writes (or replaces) a served file; folders are created as needed.
    void put(std::string_view relative, std::span<const uint8_t> bytes) const;
    void put(std::string_view relative, std::string_view text) const;
    void remove(std::string_view relative) const;
    // The folder on disk.
    const std::filesystem::path& dir() const { return dir_; }
    // Requests for this folder's files since it was made, with the folder
    // part dropped: "AGENT /relative".
    std::vector<std::string> requests() const;

private:
    std::string urlPath_;
    std::filesystem::path dir_;
    size_t logStart_ = 0;  // requests of earlier runs are not this folder's
};

// Pattern byte i of the server's generated replies.
inline uint8_t serverPattern(size_t i) { return static_cast<uint8_t>((i * 7 + 3) & 0xFF); }
std::vector<uint8_t> serverPatternBytes(size_t n);

}  // namespace rw::test
