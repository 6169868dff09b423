#pragma once
// The result a check (or the update pass) shows. A worker fills a private
// CheckResult and publishes it whole with each status code; the window thread
// reads only what was published, through a ResultBoard snapshot, so it never
// sees a field half rewritten.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/status_codes.h"
#include "base/wide_text.h"

namespace rw {

struct SteamIdRecord {
    uint32_t accountNumber = 0;
    uint32_t parity = 0;
    uint8_t valid = 0;
    WideText text;
    std::array<char, 18> digits{};  // 17 characters and a terminating zero
};

// The shown fields of one result; plain, so a copy is a consistent picture.
struct ResultFields {
    WideText messageText;
    WideText demoName;
    WideText playerName;
    WideText mapName;
    std::array<char, 260> mapKey{};  // lower-cased 8-bit map name
    WideText runTimeText;
    float averageFps = 0.0f;
    WideText averageFpsText;
    std::array<WideText, 8> settingsLines;
    SteamIdRecord steamId;
    std::shared_ptr<const std::string> runGraph;  // SVG of a finished run, when one was drawn; never changed

    std::string_view mapKeyView() const;
};

// What the painter works from: published fields and the code published with them.
struct ResultSnapshot {
    int32_t status = status::updateCheckRunning;
    ResultFields fields;
};

// The one place results cross threads: workers publish, the window reads.
class ResultBoard {
public:
    int32_t status() const { return status_.load(std::memory_order_acquire); }
    ResultSnapshot snapshot() const;
    void publish(const ResultFields& fields, int32_t code);

private:
    mutable std::mutex lock_;
    ResultFields fields_;
    std::atomic<int32_t> status_{status::updateCheckRunning};
};

// How a writer asks for a repaint; the app installs one that invalidates the
// main window, the command line one that draws progress. Never blocks.
struct RepaintHook {
    void (*fn)(void* context) = nullptr;
    void* context = nullptr;
};

// A worker's own result. Its fields are private to the worker; each status
// change copies them to the board, when there is one.
struct CheckResult : ResultFields {
    std::atomic<int32_t> statusCode{status::updateCheckRunning};
    RepaintHook repaint;
    ResultBoard* board = nullptr;

    int32_t status() const { return statusCode.load(std::memory_order_acquire); }
};

void requestRepaint(CheckResult& result);
// Publishes the fields with this code, then asks for a repaint.
void setStatusAndRepaint(CheckResult& result, int32_t code);
// Clear the message text, write the message, then publish the code.
void reportFailure(CheckResult& result, std::wstring_view message, int32_t code);

}  // namespace rw
