#include "analysis/verdict_text.h"

#include <algorithm>
#include <cstdint>

namespace rw {
namespace {

// Beyond any real run; keeps the integer conversions defined for garbage times.
constexpr float kLongestTime = 1.0e9f;
constexpr float kHighestAverage = 1.0e6f;

void appendTwoDigits(std::wstring& out, uint32_t value) {
    if (value < 10) out += L'0';
    out += std::to_wstring(value);
}

// Truncation toward zero of a value known to be in [0, limit].
uint32_t truncated(float v, uint32_t limit) {
    if (!(v > 0.0f)) return 0;
    const auto t = static_cast<uint32_t>(std::min(v, static_cast<float>(limit)));
    return std::min(t, limit);
}

}  // namespace

std::wstring averageFpsText(float average) {
    if (!(average >= 0.0f)) average = 0.0f;
    average = std::min(average, kHighestAverage);
    const auto whole = static_cast<uint32_t>(average);
    const float hundredthsValue = average * 100.0f - static_cast<float>(whole * 100u);
    std::wstring out = std::to_wstring(whole);
    out += L'.';
    appendTwoDigits(out, truncated(hundredthsValue, 99));
    return out;
}

std::wstring runTimeText(float seconds, bool cupStorageRule) {
    if (!(seconds >= 0.0f)) seconds = 0.0f;
    seconds = std::min(seconds, kLongestTime);
    uint32_t minutes = static_cast<uint32_t>(seconds / 60.0f);
    const float secondsValue = seconds - static_cast<float>(minutes * 60u);
    uint32_t wholeSeconds = truncated(secondsValue, 59);
    const uint32_t hundredths = truncated((secondsValue - static_cast<float>(wholeSeconds)) * 100.0f, 99);
    if (cupStorageRule) {
        if (wholeSeconds >= 5) {
            wholeSeconds -= 5;
        } else if (minutes > 0) {
            --minutes;
            wholeSeconds += 55;
        } else {
            wholeSeconds = 0;
        }
    }
    std::wstring out;
    appendTwoDigits(out, minutes);
    out += L':';
    appendTwoDigits(out, wholeSeconds);
    out += L'.';
    appendTwoDigits(out, hundredths);
    return out;
}

}  // namespace rw
