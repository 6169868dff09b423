#include "analysis/run_findings.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "analysis/verdict_text.h"
#include "demo_builder.h"

namespace rw {
namespace {

using test::Bytes;
namespace msg = test::msg;

// Truncated in float; a cup-storage run shows five seconds less, borrowing a
// minute below five seconds, and a whole time below five keeps its hundredths.
TEST(VerdictText, RunTime) {
    const struct {
        float seconds;
        bool cup;
        const wchar_t* text;
    } rows[] = {
        {9.99f, false, L"00:09.98"}, {6039.99f, false, L"100:39.99"}, {65.0f, true, L"01:00.00"},
        {62.25f, true, L"00:57.25"}, {4.5f, true, L"00:00.50"},       {-12.5f, false, L"00:00.00"},
        {std::nanf(""), true, L"00:00.00"},
    };
    for (const auto& r : rows) EXPECT_EQ(runTimeText(r.seconds, r.cup), r.text) << r.seconds << " cup " << r.cup;
    EXPECT_FALSE(runTimeText(3.0e38f, false).empty());
}

// A copy of a block that ends where an unreadable page begins: a read past its
// end faults in every build, not only under the sanitizer, which also sees a
// read before its start.
class GuardedCopy {
public:
    explicit GuardedCopy(const Bytes& bytes) {
        const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_ = (bytes.size() / page + 2) * page;
        base_ = static_cast<uint8_t*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (base_ == MAP_FAILED || mprotect(base_ + size_ - page, page, PROT_NONE) != 0) std::abort();
        data_ = {base_ + size_ - page - bytes.size(), bytes.size()};
        std::copy(bytes.begin(), bytes.end(), base_ + size_ - page - bytes.size());
#if defined(__SANITIZE_ADDRESS__)
        ASAN_POISON_MEMORY_REGION(base_, static_cast<size_t>(data_.data() - base_));
#endif
    }
    ~GuardedCopy() {
#if defined(__SANITIZE_ADDRESS__)
        ASAN_UNPOISON_MEMORY_REGION(base_, size_);
#endif
        munmap(base_, size_);
    }
    GuardedCopy(const GuardedCopy&) = delete;
    GuardedCopy& operator=(const GuardedCopy&) = delete;
    std::span<const uint8_t> bytes() const { return data_; }

private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    std::span<const uint8_t> data_;
};

// Type-0 blocks scanned in order, each on a guarded copy. Name and SteamID are
// taken once; a resource-list block is scanned only for the sound indices.
TEST(StartupBlockScan, IdentityAndSoundIndices) {
    const Bytes soundHead = msg::concat({Bytes{0x2D}, msg::text("common/wpn_select.wav"), Bytes{0, 7, 0}});
    const struct {
        const char* what;
        std::vector<Bytes> blocks;
        std::string name = "";
        const wchar_t* steamId = L"";
        int select = kNoSoundIndex, deny = kNoSoundIndex;
    } rows[] = {
        {"user info, then another", {msg::userInfo("Player", "76561198000000001"), msg::userInfo("Other", "76561198000000000")},
         "Player", L"STEAM_0:1:19867136"},
        {"eight bytes", {msg::text("\\name\\ab")}},
        {"nine bytes", {msg::text("\\name\\abc")}, "abc"},
        {"name ends at zero", {msg::text(std::string_view("\\name\\ab c\0rest", 15))}, "ab c"},
        {"long name", {msg::concat({msg::text("\\name\\"), Bytes(400, 'n')})}, std::string(259, 'n')},
        {"digits cut by the block end", {msg::text("....\\*sid\\7656119800")}, "", L"STEAM_0:0:1680576252"},
        {"unreadable id tried again", {msg::text("\\*sid\\none....................\\*sid\\76561197960265729..")}, "",
         L"STEAM_0:1:0"},
        {"both sounds", {msg::soundResources(412, 0x2FF)}, "", L"", 412, 0x2FF},
        {"resource list holds no identity", {msg::concat({msg::soundResources(5), msg::userInfo("P", "76561198000000001")})},
         "", L"", 5},
        {"sound name needs 28 bytes after it", {msg::concat({soundHead, msg::filler(4, 0)})}},
        {"28 bytes after it", {msg::concat({soundHead, msg::filler(5, 0)})}, "", L"", 7},
        {"and a 'c' before it", {msg::concat({Bytes{0x2D, 'c'}, std::span(soundHead).subspan(1), msg::filler(5, 0)})}, "", L"", 7},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        RunFindings findings;
        CheckResult result;
        for (const Bytes& block : r.blocks) scanStartupBlock(findings, GuardedCopy(block).bytes(), result, 42);
        EXPECT_EQ(result.playerName.view(), std::wstring(r.name.begin(), r.name.end()));
        EXPECT_EQ(result.status() == 42, !r.name.empty());
        EXPECT_EQ(result.steamId.text.view(), r.steamId);
        EXPECT_EQ(result.steamId.valid, *r.steamId ? 1 : 0);
        EXPECT_EQ(findings.soundsFound, r.select != kNoSoundIndex);
        EXPECT_EQ(findings.selectSoundIndex, r.select);
        EXPECT_EQ(findings.denySoundIndex, r.deny);
    }
}

}  // namespace
}  // namespace rw
