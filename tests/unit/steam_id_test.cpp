#include "analysis/steam_id.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rw_config.h"

namespace rw {
namespace {

SteamIdRecord withDigits(const char* digits) {
    SteamIdRecord r;
    // Up to all 18 bytes, which may leave no terminator.
    for (size_t k = 0; k < r.digits.size() && digits[k] != '\0'; ++k) r.digits[k] = digits[k];
    return r;
}

TEST(SteamIdConversion, KnownAccounts) {
    struct Case {
        const char* digits;
        const wchar_t* text;
        uint32_t account;
        uint32_t parity;
    };
    for (const Case& c : {Case{"76561198000000000", L"STEAM_0:0:19867136", 19867136, 0},
                          Case{"76561198000000001", L"STEAM_0:1:19867136", 19867136, 1},
                          Case{"76561197960265729", L"STEAM_0:1:0", 0, 1},
                          // White space counts toward the 17 characters; reading stops at the letter.
                          Case{" \t76561197960265x", L"STEAM_0:1:1702954532", 1702954532, 1}}) {
        SteamIdRecord r = withDigits(c.digits);
        ASSERT_TRUE(convertSteamId(r)) << c.digits;
        EXPECT_EQ(r.text.view(), c.text);
        EXPECT_EQ(r.accountNumber, c.account);
        EXPECT_EQ(r.parity, c.parity);
        EXPECT_EQ(r.valid, 1);
    }
}

TEST(SteamIdConversion, OnlySeventeenCharactersAreRead) {
    // The 18th character is dropped: 76561198000000001 with a 9 behind it.
    SteamIdRecord r = withDigits("765611980000000019");
    ASSERT_TRUE(convertSteamId(r));
    EXPECT_EQ(r.text.view(), L"STEAM_0:1:19867136");
    EXPECT_EQ(r.digits[17], '\0');
}

TEST(SteamIdConversion, NoNumberLeavesTheRecordUnchanged) {
    for (const char* digits : {"", "STEAM_0:1:2", "x76561198000000000", "-76561198000000000", "   "}) {
        SteamIdRecord r = withDigits(digits);
        r.accountNumber = 7;
        r.text.assign(L"before");
        EXPECT_FALSE(convertSteamId(r)) << digits;
        EXPECT_EQ(r.valid, 0);
        EXPECT_EQ(r.accountNumber, 7u);
        EXPECT_EQ(r.text.view(), L"before");
    }
}

TEST(SteamIdProfile, AddressUsesTheStoredDigits) {
    SteamIdRecord r = withDigits("76561198000000000");
    ASSERT_TRUE(convertSteamId(r));
    EXPECT_EQ(profileAddress(r), L"http://" +
                                     std::wstring(RW_PROFILE_HOST, RW_PROFILE_HOST + std::strlen(RW_PROFILE_HOST)) +
                                     L"/profiles/76561198000000000");
    // The digits as found, not the parsed number.
    SteamIdRecord padded = withDigits(" 0076561198000000");
    ASSERT_TRUE(convertSteamId(padded));
    EXPECT_TRUE(profileAddress(padded).ends_with(L"/profiles/ 0076561198000000"));
}

}  // namespace
}  // namespace rw
