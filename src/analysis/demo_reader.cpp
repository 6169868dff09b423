#include "analysis/demo_reader.h"

#include <algorithm>

namespace rw {

ReaderState DemoReader::open(std::unique_ptr<platform::AsyncFile> file) {
    close();  // the previous file goes first: no two are open at once
    if (!file) return state_;
    file_ = std::move(file);
    size_ = file_->size();
    if (size_ <= 0) return state_;
    buffer_[0].resize(static_cast<size_t>(std::min<int64_t>(size_, chunk)));
    buffer_[1].resize(static_cast<size_t>(std::clamp<int64_t>(size_ - chunk, 0, chunk)));
    issue(0, 0);
    state_ = ReaderState::usable;
    return state_;
}

ReaderState DemoReader::finish() {
    if (state_ == ReaderState::usable && file_->currentSize() < readEnd_) failReads();
    return state_;
}

void DemoReader::close() {
    if (file_) file_->cancelAll();
    file_.reset();
    for (auto& b : buffer_) Buffer().swap(b);
    for (int i = 0; i < 2; ++i) {
        windowStart_[i] = windowEnd_[i] = readyEnd_[i] = 0;
        pending_[i] = 0;
        bytes_[i] = nullptr;
    }
    size_ = 0;
    state_ = ReaderState::cannotOpen;
    last_ = 0;
    readEnd_ = 0;
    prefetched_ = 0;
}

void DemoReader::cancelAll() {
    file_->cancelAll();
    // A cancelled read that is not issued again holds nothing usable.
    for (int i = 0; i < 2; ++i) {
        if (pending_[i]) {
            pending_[i] = 0;
            windowStart_[i] = windowEnd_[i] = readyEnd_[i] = 0;
        }
    }
}

// Nothing more is served: the windows are emptied so that even the inline
// paths of read and viewInPlace miss and land in the slow ones, which refuse.
void DemoReader::failReads() {
    state_ = ReaderState::readFailed;
    file_->cancelAll();
    for (int i = 0; i < 2; ++i) {
        pending_[i] = 0;
        windowStart_[i] = windowEnd_[i] = readyEnd_[i] = 0;
    }
}

void DemoReader::issue(int i, int64_t position) {
    if (position >= size_ || position < 0) return;
    if (pending_[i]) cancelAll();
    // Buffer 1 holds less than a chunk only in files under 2 MiB, where its
    // window can never need more than that.
    const int64_t want = std::min<int64_t>(chunk, size_ - position);
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(want, static_cast<int64_t>(buffer_[i].size())));
    pending_[i] = 1;
    windowStart_[i] = position;
    windowEnd_[i] = position + n;
    readyEnd_[i] = position;
    bytes_[i] = file_->issue(i, position, buffer_[i].data(), n);
}

int DemoReader::chooseWindow(int64_t position) {
    if (windowStart_[0] <= position && position < windowEnd_[0]) return 0;
    if (windowStart_[1] <= position && position < windowEnd_[1]) return 1;
    if (pending_[1]) cancelAll();
    issue(0, position);
    return 0;
}

// Makes window i usable up to end (or its own end, if sooner). The first
// collect of a window starts the read-ahead into the other one before any byte
// is handed out.
void DemoReader::makeReady(int i, int64_t end) {
    end = std::min(end, windowEnd_[i]);
    if (pending_[i] || readyEnd_[i] < end) {
        const auto need = static_cast<uint32_t>(end - windowStart_[i]);
        const uint32_t settled = file_->collect(i, need);
        if (settled < need) {
            failReads();
            return;
        }
        readyEnd_[i] = windowStart_[i] + std::min<int64_t>(settled, windowEnd_[i] - windowStart_[i]);
        readEnd_ = std::max(readEnd_, readyEnd_[i]);
        if (pending_[i]) {
            pending_[i] = 0;
            issue(1 - i, windowEnd_[i]);
        }
    }
    last_ = i;
}

bool DemoReader::readSlow(int64_t& position, uint8_t* destination, uint32_t count) {
    if (state_ != ReaderState::usable) return false;
    for (;;) {
        if (position >= size_ || position < 0) return false;
        const int i = chooseWindow(position);
        makeReady(i, position + count);
        if (state_ != ReaderState::usable || readyEnd_[i] <= position) return false;
        const uint64_t avail = static_cast<uint64_t>(readyEnd_[i] - position);
        const uint32_t k = static_cast<uint32_t>(std::min<uint64_t>(avail, count));
        std::memcpy(destination, bytes_[i] + (position - windowStart_[i]), k);
        position += k;
        if (k >= count) return true;
        destination += k;
        count -= k;
    }
}

const uint8_t* DemoReader::viewSlow(int64_t position, uint32_t count) {
    if (state_ != ReaderState::usable || position < 0 || position >= size_) return nullptr;
    const int i = chooseWindow(position);
    makeReady(i, position + count);
    if (state_ != ReaderState::usable || position < windowStart_[i] || position >= readyEnd_[i] ||
        count > static_cast<uint64_t>(readyEnd_[i] - position)) {
        return nullptr;
    }
    return bytes_[i] + (position - windowStart_[i]);
}

}  // namespace rw
