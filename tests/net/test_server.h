#pragma once
// The HTTP test server that the CTest fixture starts (http_test_server.py).
// Each test serves its files below a folder of its own, so tests running in
// parallel never see each other's files or requests.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rw::test {

// "http://127.0.0.1:PORT" followed by the path; the same server over HTTPS,
// its certificate from an authority no system trusts (tlsAuthority(), PEM);
// and a port where nothing listens, so the connection is refused.
std::string serverUrl(std::string_view path);
std::string tlsUrl(std::string_view path);
std::string deadUrl(std::string_view path);
std::filesystem::path tlsAuthority();

// The folder "/t/Suite.Name" of the served tree, emptied for the running test.
class ServedFolder {
public:
    ServedFolder();
    std::string path(std::string_view relative) const { return urlPath_ + "/" + std::string(relative); }
    std::string url(std::string_view relative) const { return serverUrl(path(relative)); }
    void put(std::string_view relative, std::span<const uint8_t> bytes) const;
    void put(std::string_view relative, std::string_view text) const {
        put(relative, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    const std::filesystem::path& dir() const { return dir_; }
    // Requests for this folder's files since it was made, with the folder part
    // dropped: "AGENT /relative", or "AGENT /_/redirect/relative" for a special path.
    std::vector<std::string> requests() const;

private:
    std::string urlPath_;
    std::filesystem::path dir_;
    size_t logStart_ = 0;  // requests of earlier runs are not this folder's
};

}  // namespace rw::test
