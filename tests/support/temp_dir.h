#pragma once
// A fresh folder per test, removed afterwards.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rw::test {

// Creates or replaces the file, and any folders it needs.
std::filesystem::path writeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

class TempDir {
public:
    TempDir();
    ~TempDir();
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

std::vector<uint8_t> readAll(const std::filesystem::path& path);

}  // namespace rw::test
