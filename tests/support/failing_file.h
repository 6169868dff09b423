#pragma once
// A demo file backend that fails on demand: it serves another backend's reads
// but no byte from failFrom on, as an I/O error or a file cut after open
// would. A read reaching that far answers only the bytes before it.
#include <algorithm>
#include <memory>

#include "platform/async_file.h"

namespace rw::test {

class FailingFile final : public platform::AsyncFile {
public:
    FailingFile(std::unique_ptr<platform::AsyncFile> inner, int64_t failFrom)
        : inner_(std::move(inner)), failFrom_(failFrom) {}

    int64_t size() const override { return inner_->size(); }
    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        good_[slot] = static_cast<uint32_t>(std::clamp<int64_t>(failFrom_ - offset, 0, n));
        return inner_->issue(slot, offset, dst, n);
    }
    uint32_t collect(int slot, uint32_t need) override {
        return std::min(inner_->collect(slot, std::min(need, good_[slot])), good_[slot]);
    }
    void cancelAll() override { inner_->cancelAll(); }

private:
    std::unique_ptr<platform::AsyncFile> inner_;
    int64_t failFrom_;
    uint32_t good_[2] = {0, 0};  // bytes of the slot's read before failFrom
};

}  // namespace rw::test
