#pragma once
// The one way a thread passes a finished object to others. Its maker fills it
// alone and then publishes it, once; from then on nobody changes it, and any
// thread that takes it sees every write made before the publication (release
// on publish, acquire on take). Nothing waits for the maker's thread to end.
// The hand-over owns what it was given.
#include <atomic>
#include <memory>

namespace rw {

template <typename T>
class HandOver {
public:
    HandOver() = default;
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;
    ~HandOver() { delete value_.load(std::memory_order_acquire); }

    // After the last write to `*value`. Only the first publication counts.
    void publish(std::unique_ptr<const T> value) {
        const T* none = nullptr;
        if (value_.compare_exchange_strong(none, value.get(), std::memory_order_acq_rel)) {
            value.release();
            value_.notify_all();
        }
    }
    // The published object, or null while its maker is still at work. Never blocks.
    const T* peek() const { return value_.load(std::memory_order_acquire); }
    // Waits for the publication: on worker threads only, never the window thread.
    const T* take() const {
        const T* value = peek();
        for (; !value; value = peek()) value_.wait(nullptr, std::memory_order_acquire);
        return value;
    }

private:
    std::atomic<const T*> value_{nullptr};
};

}  // namespace rw
