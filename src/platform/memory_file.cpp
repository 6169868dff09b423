#include <algorithm>
#include <cstring>

#include "platform/async_file.h"

namespace rw::platform {
namespace {

class MemoryFile final : public AsyncFile {
public:
    explicit MemoryFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    void issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override { req_[slot] = {offset, dst, n, true}; }
    void collect(int slot) override {
        Request& r = req_[slot];
        if (!r.live) return;
        r.live = false;
        if (r.offset < 0 || r.offset >= size()) return;
        size_t avail = bytes_.size() - static_cast<size_t>(r.offset);
        std::memcpy(r.dst, bytes_.data() + r.offset, std::min<size_t>(avail, r.n));
    }
    void cancelAll() override { req_[0].live = req_[1].live = false; }

private:
    struct Request {
        int64_t offset = 0;
        uint8_t* dst = nullptr;
        uint32_t n = 0;
        bool live = false;
    };
    std::span<const uint8_t> bytes_;
    Request req_[2];
};

}  // namespace

std::unique_ptr<AsyncFile> openMemoryFile(std::span<const uint8_t> bytes) {
    return std::make_unique<MemoryFile>(bytes);
}

}  // namespace rw::platform
