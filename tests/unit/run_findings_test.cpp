#include "analysis/run_findings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "analysis/verdict_text.h"
#include "demo_builder.h"

namespace rw {
namespace {

using test::Bytes;
namespace msg = test::msg;

TEST(VerdictText, AverageFpsTruncatesInFloat) {
    EXPECT_EQ(averageFpsText(199.0f / 2.0f), L"99.50");
    EXPECT_EQ(averageFpsText(141.0f / 20.0f), L"7.05");
    EXPECT_EQ(averageFpsText(100.0f), L"100.00");
    EXPECT_EQ(averageFpsText(73570.0f / 736.0f), L"99.95");
    EXPECT_EQ(averageFpsText(0.0f), L"0.00");
    EXPECT_EQ(averageFpsText(1000.0f), L"1000.00");
    EXPECT_EQ(averageFpsText(std::nanf("")), L"0.00");
}

// Truncated in float; a cup-storage run shows five seconds less, borrowing a
// minute below five seconds, and a whole time below five keeps its hundredths.
TEST(VerdictText, RunTime) {
    const float nan = std::nanf("");
    const struct {
        float seconds;
        bool cup;
        const wchar_t* text;
    } rows[] = {
        {9.99f, false, L"00:09.98"},   {9.5f, false, L"00:09.50"},    {600.0f, false, L"10:00.00"},
        {83.456f, false, L"01:23.45"}, {0.0f, false, L"00:00.00"},    {6039.99f, false, L"100:39.99"},
        {83.456f, true, L"01:18.45"},  {72.5f, true, L"01:07.50"},    {75.0f, true, L"01:10.00"},
        {62.25f, true, L"00:57.25"},   {124.5f, true, L"01:59.50"},   {3.25f, true, L"00:00.25"},
        {4.5f, true, L"00:00.50"},     {-12.5f, false, L"00:00.00"},  {nan, true, L"00:00.00"},
    };
    for (const auto& r : rows) EXPECT_EQ(runTimeText(r.seconds, r.cup), r.text) << r.seconds << " cup " << r.cup;
    EXPECT_FALSE(runTimeText(3.0e38f, false).empty());
}

// The type-0 scans on exact-size blocks, so the sanitizer sees any read past them.
class StartupBlockScan : public ::testing::Test {
protected:
    void scan(const Bytes& bytes) {
        auto exact = std::make_unique<uint8_t[]>(bytes.size() + 1);  // never empty
        std::copy(bytes.begin(), bytes.end(), exact.get());
        scanStartupBlock(findings, std::span<const uint8_t>(exact.get(), bytes.size()), result, 42);
    }
    std::string name() const { return std::string(findings.playerName.data()); }
    RunFindings findings;
    CheckResult result;
};

TEST_F(StartupBlockScan, NameAndSteamIdFromUserInfo) {
    scan(msg::userInfo("Player", "76561198000000001"));
    EXPECT_EQ(name(), "Player");
    EXPECT_EQ(result.playerName.view(), L"Player");
    EXPECT_EQ(result.status(), 42);
    ASSERT_EQ(result.steamId.valid, 1);
    EXPECT_EQ(result.steamId.text.view(), L"STEAM_0:1:19867136");
    // Found once: a later block changes neither.
    scan(msg::userInfo("Other", "76561198000000000"));
    EXPECT_EQ(name(), "Player");
    EXPECT_EQ(result.steamId.text.view(), L"STEAM_0:1:19867136");
}

TEST_F(StartupBlockScan, IdentityNeedsNineBytes) {
    scan(msg::text("\\name\\ab"));
    EXPECT_EQ(name(), "");
    scan(msg::text("\\name\\abc"));
    EXPECT_EQ(name(), "abc");
}

TEST_F(StartupBlockScan, NameEndsAtZeroBackslashOrBlockEnd) {
    scan(msg::concat({msg::nameKey("ab c"), Bytes{0}, msg::text("rest")}));
    EXPECT_EQ(name(), "ab c");
}

TEST_F(StartupBlockScan, LongNameIsCutToTheBuffer) {
    scan(msg::nameKey(std::string(400, 'n')));
    EXPECT_EQ(name(), std::string(259, 'n'));
    EXPECT_EQ(result.playerName.view(), std::wstring(259, L'n'));
}

TEST_F(StartupBlockScan, SteamIdNearTheBlockEndKeepsWhatIsThere) {
    scan(msg::concat({msg::filler(4), msg::steamIdKey("7656119800")}));
    EXPECT_EQ(std::string(result.steamId.digits.data()), "7656119800");
    ASSERT_EQ(result.steamId.valid, 1);
    EXPECT_EQ(result.steamId.accountNumber, static_cast<uint32_t>(7656119800ull & 0xFFFFFFFFu) >> 1);
}

TEST_F(StartupBlockScan, UnreadableSteamIdIsTriedAgainLater) {
    scan(msg::concat({msg::steamIdKey("none"), msg::filler(20), msg::steamIdKey("76561197960265729"), msg::filler(2)}));
    ASSERT_EQ(result.steamId.valid, 1);
    EXPECT_EQ(result.steamId.text.view(), L"STEAM_0:1:0");
}

TEST_F(StartupBlockScan, SoundIndicesFromTheResourceList) {
    // Low byte 9C, next byte 01 (its high nibble is other data): index 412.
    scan(msg::soundResources(412, 0x2FF));
    EXPECT_TRUE(findings.soundsFound);
    EXPECT_EQ(findings.selectSoundIndex, 412);
    EXPECT_EQ(findings.denySoundIndex, 0x2FF);
}

TEST_F(StartupBlockScan, ResourceListIsNotScannedForIdentity) {
    scan(msg::concat({msg::soundResources(5), msg::userInfo("Player", "76561198000000001")}));
    EXPECT_EQ(findings.selectSoundIndex, 5);
    EXPECT_EQ(name(), "");
    EXPECT_EQ(result.steamId.valid, 0);
}

TEST_F(StartupBlockScan, SoundNamesAreLookedForOnlyWhileTwentyEightBytesFollow) {
    // The name right after the message number, at 1: found only in a block of 30 bytes or more.
    const Bytes head = msg::concat({Bytes{0x2D}, msg::text("common/wpn_select.wav"), Bytes{0, 7, 0}});
    scan(msg::concat({head, msg::filler(4, 0)}));
    EXPECT_FALSE(findings.soundsFound);
    scan(msg::concat({head, msg::filler(5, 0)}));
    EXPECT_TRUE(findings.soundsFound);
    EXPECT_EQ(findings.selectSoundIndex, 7);
}

}  // namespace
}  // namespace rw
