#pragma once
// The result fields a check (or the update pass) publishes and the window
// paints. Writers set the fields first and the status code last; the status
// code is released/acquired so a reader that sees 100 sees the final fields.
#include <array>
#include <atomic>
#include <cstdint>
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

// How a writer asks for a repaint; the app installs one that invalidates the
// main window, the command line one that draws progress. Never blocks.
struct RepaintHook {
    void (*fn)(void* context) = nullptr;
    void* context = nullptr;
};

struct CheckResult {
    std::atomic<int32_t> statusCode{status::updateCheckRunning};
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
    RepaintHook repaint;

    int32_t status() const { return statusCode.load(std::memory_order_acquire); }
    std::string_view mapKeyView() const;
};

void requestRepaint(CheckResult& result);
void setStatusAndRepaint(CheckResult& result, int32_t code);
// Clear the message text, write the message, then publish the code.
void reportFailure(CheckResult& result, std::wstring_view message, int32_t code);

}  // namespace rw
