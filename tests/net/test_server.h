#pragma once
// The HTTP test server that the CTest fixture starts (http_test_server.py).
// Each test serves its files below a folder of its own, so tests running in
// parallel never see each other's files or requests.
#include <gtest/gtest.h>

#include <algorithm>

#include "temp_dir.h"

namespace rw::test {

inline const std::filesystem::path kServerState = RW_TEST_HTTP_STATE;

// "http://127.0.0.1:PORT" followed by the path; which = 1: a port where nothing
// listens, so the connection is refused; which = 2: the server over HTTPS.
inline std::string serverUrl(std::string_view path, int which = 0) {
    unsigned ports[3] = {0, 0, 0};
    std::ifstream(kServerState / "port") >> ports[0] >> ports[1] >> ports[2];
    EXPECT_NE(ports[0], 0u) << "HTTP test server not running (state folder " << kServerState.string() << ")";
    return (which == 2 ? "https" : "http") + std::string("://127.0.0.1:") + std::to_string(ports[which]) +
           std::string(path);
}
inline std::string deadUrl(std::string_view path) { return serverUrl(path, 1); }

// The folder "/t/Suite.Name" of the served tree, emptied for the running test.
class ServedFolder {
public:
    ServedFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        urlPath_ = "/t/" + name;
        dir_ = std::filesystem::path(RW_TEST_HTTP_ROOT) / "t" / name;
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        logStart_ = requests().size();
    }
    std::string path(std::string_view relative) const { return urlPath_ + "/" + std::string(relative); }
    std::string url(std::string_view relative) const { return serverUrl(path(relative)); }
    void put(std::string_view relative, std::span<const uint8_t> bytes) const {
        writeFile(dir_ / std::string(relative), bytes);
    }
    void put(std::string_view relative, std::string_view text) const {
        put(relative, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    const std::filesystem::path& dir() const { return dir_; }
    // Requests for this folder's files since it was made, with the folder part
    // dropped: "AGENT /relative", or "AGENT /_/redirect/relative" for a special path.
    std::vector<std::string> requests() const {
        std::vector<std::string> mine;
        std::ifstream in(kServerState / "requests.log");
        for (std::string line; std::getline(in, line);) {
            const size_t at = line.find(urlPath_ + "/");
            if (at != std::string::npos) mine.push_back(line.substr(0, at) + line.substr(at + urlPath_.size()));
        }
        mine.erase(mine.begin(), mine.begin() + static_cast<std::ptrdiff_t>(logStart_));
        return mine;
    }

private:
    std::string urlPath_;
    std::filesystem::path dir_;
    size_t logStart_ = 0;  // an earlier folder's of the same name, in the same run
};

}  // namespace rw::test
