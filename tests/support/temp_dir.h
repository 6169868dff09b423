#pragma once
// A fresh folder per test, removed afterwards.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace rw::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::filesystem::path write(const std::string& name, std::span<const uint8_t> bytes) const;
    std::filesystem::path write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readAll(const std::filesystem::path& path);

}  // namespace rw::test
