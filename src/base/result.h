#pragma once
// How the program reports failure. There is one convention, in three forms:
//
//  - An operation that can fail for a reason its caller or the user must see
//    returns a Result: its value, or a Failure holding a kind (what a caller
//    decides on) and a text (what the user reads). A caller that passes a
//    failure on keeps its kind and may put words in front of its text.
//  - A plain yes/no answer returns bool: a predicate, or an operation whose
//    only failure is that it did not happen and whose caller words it (a
//    file written, moved or removed).
//  - A parser of untrusted bytes reads through the sticky ByteCursor
//    (byte_cursor.h), tests ok() once, and then answers with a Result.
//
// Nothing else: no int states (a state is an enum), no text that is empty on
// success, no bool with a reason in an out-parameter, no ok flag beside a
// value in a struct, no std::optional where there is a reason (optional is
// for a value that may be absent, as a lookup that finds nothing), no
// decision made by comparing texts, and no exception across a module.
//
//     Result<Header> h = parseHeader(bytes);
//     if (!h) return Failure{h.kind(), "header: " + h.text()};
//     use(h->revision);
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace rw {

// Every kind of failure the program tells apart.
enum class FailureKind {
    missing,      // no such file, or one too short to hold a header
    tooSmall,     // a file below the size its kind of content needs
    tooLarge,     // larger than the program handles
    system,       // the system would not read, write or compute it
    malformed,    // bytes or text that do not follow their format
    newerFormat,  // a format version above the one this program reads
    checksum,     // the stored checksum is not that of the content
    unreachable,  // a server or address that gave no answer
    forged,       // a signature that is absent or does not verify
    exists,       // a file that must not be replaced is already there
    usage,        // a command line the program does not take
};

struct Failure {
    FailureKind kind;
    std::string text;
};

template <class T = std::monostate>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

    // Only on failure.
    const Failure& failure() const { return failure_; }
    FailureKind kind() const { return failure_.kind; }
    const std::string& text() const { return failure_.text; }

private:
    std::optional<T> value_;
    Failure failure_{FailureKind::malformed, {}};
};

// The value of a Result<> that succeeded.
inline Result<> success() { return Result<>(std::monostate{}); }

}  // namespace rw
