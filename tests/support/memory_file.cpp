#include "memory_file.h"

namespace rw::test {
namespace {

class MemoryFile final : public platform::AsyncFile {
public:
    explicit MemoryFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    int64_t currentSize() const override { return size(); }
    // The bytes are already in memory: hand them out where they are.
    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        n_[slot] = n;
        if (offset < 0 || static_cast<uint64_t>(offset) > bytes_.size() || n > bytes_.size() - offset) {
            n_[slot] = 0;  // past the end: nothing arrives
            return dst;
        }
        return bytes_.data() + offset;
    }
    uint32_t collect(int slot, uint32_t) override { return n_[slot]; }
    void cancelAll() override {}

private:
    std::span<const uint8_t> bytes_;
    uint32_t n_[2] = {0, 0};
};

}  // namespace

std::unique_ptr<platform::AsyncFile> openMemoryFile(std::span<const uint8_t> bytes) {
    return std::make_unique<MemoryFile>(bytes);
}

}  // namespace rw::test
