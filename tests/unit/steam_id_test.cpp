#include "analysis/steam_id.h"

#include <gtest/gtest.h>

#include <string>


namespace rw {
namespace {

SteamIdRecord withDigits(const char* digits) {
    SteamIdRecord r;
    // Up to all 18 bytes, which may leave no terminator.
    for (size_t k = 0; k < r.digits.size() && digits[k] != '\0'; ++k) r.digits[k] = digits[k];
    r.text.assign(L"before");
    return r;
}

// Without a number the record stays as it was.
TEST(SteamId, Conversion) {
    const struct {
        const char* digits;
        const wchar_t* text;
    } rows[] = {
        {"76561198000000000", L"STEAM_0:0:19867136"},
        {"76561197960265729", L"STEAM_0:1:0"},
        {" \t76561197960265x", L"STEAM_0:1:1702954532"},  // white space counts toward the 17 characters
        {"765611980000000019", L"STEAM_0:1:19867136"},      // the 18th character is dropped
        {"", L"before"},
        {"x76561198000000000", L"before"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.digits);
        SteamIdRecord s = withDigits(r.digits);
        const bool converted = std::wstring_view(r.text) != L"before";
        EXPECT_EQ(convertSteamId(s), converted);
        EXPECT_EQ(s.valid, converted ? 1 : 0);
        EXPECT_EQ(s.text.view(), r.text);
    }
}

}  // namespace
}  // namespace rw
