#pragma once
// A fresh folder per test, removed afterwards, and whole-file reads and writes.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace rw::test {

// Creates or replaces the file, and any folders it needs.
inline std::filesystem::path writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline std::vector<uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each entry of a folder by name: a file's bytes, "/" for a folder.
inline std::map<std::string, std::vector<uint8_t>> folderFiles(const std::filesystem::path& dir) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        files[e.path().filename().string()] = e.is_directory() ? std::vector<uint8_t>{'/'} : readAll(e.path());
    return files;
}

class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("rwtest-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::filesystem::path write(const std::string& name, std::span<const uint8_t> bytes) const {
        return writeFile(path_ / name, bytes);
    }
    std::filesystem::path write(const std::string& name, const std::string& text) const {
        return write(name, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }

private:
    std::filesystem::path path_;
};

}  // namespace rw::test
