#pragma once
// How the core reports failure: an operation returns a Result, which holds
// either its value or the reason it failed, in words fit for a message or a
// log line. Nothing is thrown across modules.
//
//     Result<Header> h = parseHeader(bytes);
//     if (!h) return Failure{"header: " + h.reason()};
//     use(h->revision);
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace rw {

struct Failure {
    std::string reason;
};

template <class T = std::monostate>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : reason_(std::move(failure.reason)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

    // Empty on success.
    const std::string& reason() const { return reason_; }

private:
    std::optional<T> value_;
    std::string reason_;
};

// The value of a Result<> that succeeded.
inline Result<> success() { return Result<>(std::monostate{}); }

}  // namespace rw
