#include "analysis/run_findings.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "analysis/steam_id.h"
#include "analysis/verdict_text.h"
#include "base/byte_cursor.h"
#include "platform/text.h"

namespace rw {
namespace {

struct SettingRule {
    uint32_t frameOffset;
    uint32_t expectedBits;
    const char* name;
};

// Settings line order. The floats are compared by their exact bits, which is
// float equality here (no expected value is zero, and a NaN never matches).
constexpr std::array<SettingRule, kSettingCount> kSettings = {{
    {demo::kGravityOffset, 0x44480000u, "sv_gravity"},  // 800.0
    {demo::kAirAccelerationOffset, 0x41200000u, "sv_airacceleration"},  // 10.0
    {demo::kMaxSpeedOffset, 0x43A00000u, "sv_maxspeed"},  // 320.0
    {demo::kStepSizeOffset, 0x41900000u, "sv_stepsize"},  // 18.0
    {demo::kMaxVelocityOffset, 0x44FA0000u, "sv_maxvelocity"},  // 2000.0
    {demo::kEdgeFrictionOffset, 0x40000000u, "edgefriction"},  // 2.0
    {demo::kFootstepsOffset, 1u, "mp_footsteps"},  // integer 1
}};

// 1000 / d for every command duration d; a division per frame shows in the walk's time.
constexpr auto kFpsOfMsec = [] {
    std::array<uint16_t, 256> fps{};
    for (uint32_t d = 1; d < fps.size(); ++d) fps[d] = static_cast<uint16_t>(1000u / d);
    return fps;
}();

constexpr uint8_t kResourceListMessage = 0x2D;
constexpr std::string_view kSelectSound("common/wpn_select.wav\0", 22);
constexpr std::string_view kDenySound("common/wpn_denyselect.wav\0", 26);
constexpr std::string_view kSteamIdKey("\\*sid\\");
constexpr std::string_view kNameKey("\\name\\");
constexpr size_t kSteamIdDigits = 17;

// A field of the fixed part, which starts after the type byte.
uint32_t fieldAt(std::span<const uint8_t, demo::kClientFixedSize> fixed, uint32_t frameOffset) {
    return loadU32(fixed.data() + (frameOffset - 1));
}

bool bytesAt(std::span<const uint8_t> block, size_t at, std::string_view text) {
    return at <= block.size() && text.size() <= block.size() - at &&
           std::memcmp(block.data() + at, text.data(), text.size()) == 0;
}

int32_t soundIndexAt(std::span<const uint8_t> block, size_t at) { return block[at] + ((block[at + 1] & 0x0F) << 8); }

void scanSoundResources(RunFindings& f, std::span<const uint8_t> block) {
    // Both names and their two index bytes must fit: i + 28 < n.
    const size_t n = block.size();
    if (n < 29) return;
    const uint8_t* const base = block.data();
    size_t i = 0;
    while (i + 28 < n) {
        const void* c = std::memchr(base + i, 'c', n - 28 - i);
        if (c == nullptr) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(c) - base);
        if (bytesAt(block, i, kSelectSound)) {
            f.soundsFound = true;
            f.selectSoundIndex = soundIndexAt(block, i + 22);
        } else if (bytesAt(block, i, kDenySound)) {
            f.soundsFound = true;
            f.denySoundIndex = soundIndexAt(block, i + 26);
        }
        ++i;
    }
}

void takeSteamId(std::span<const uint8_t> block, size_t at, CheckResult& result) {
    SteamIdRecord& id = result.steamId;
    // Near the end of the block fewer than 17 digits may follow; keep those.
    const size_t n = std::min(kSteamIdDigits, block.size() - at);
    id.digits.fill('\0');
    std::memcpy(id.digits.data(), block.data() + at, n);
    convertSteamId(id);
}

void takeName(RunFindings& f, std::span<const uint8_t> block, size_t at, CheckResult& result,
              int32_t progressAfterBlock) {
    size_t end = at;
    while (end < block.size() && block[end] != 0 && block[end] != '\\') ++end;
    // Longer names are cut to what the 260-byte buffer holds with its terminator.
    const size_t n = std::min(end - at, f.playerName.size() - 1);
    f.playerName.fill('\0');
    std::memcpy(f.playerName.data(), block.data() + at, n);
    result.playerName.assign(platform::oemToWide(std::string_view(f.playerName.data(), n)));
    setStatusAndRepaint(result, progressAfterBlock);
}

void scanIdentity(RunFindings& f, std::span<const uint8_t> block, CheckResult& result, int32_t progressAfterBlock) {
    const size_t n = block.size();
    const uint8_t* const base = block.data();
    size_t i = 0;
    // Both keys begin with a backslash, so only backslashes need a look.
    while (i + 8 < n) {
        const void* slash = std::memchr(base + i, '\\', n - 8 - i);
        if (slash == nullptr) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(slash) - base);
        if (!result.steamId.valid && bytesAt(block, i, kSteamIdKey)) {
            i += kSteamIdKey.size();
            takeSteamId(block, i, result);
        }
        if (f.playerName[0] == '\0' && bytesAt(block, i, kNameKey)) {
            i += kNameKey.size();
            takeName(f, block, i, result, progressAfterBlock);
        }
        ++i;
    }
}

}  // namespace

ClientFrameFields decodeClientFrame(std::span<const uint8_t, demo::kClientFixedSize> fixed) {
    ClientFrameFields frame;
    frame.time = std::bit_cast<float>(fieldAt(fixed, demo::kTimeOffset));
    for (uint32_t axis = 0; axis < 3; ++axis) {
        frame.origin[axis] = std::bit_cast<float>(fieldAt(fixed, demo::kOriginOffset + 4 * axis));
    }
    frame.commandMsec = fixed[demo::kCommandMsecOffset - 1];
    for (size_t k = 0; k < kSettingCount; ++k) frame.settingBits[k] = fieldAt(fixed, kSettings[k].frameOffset);
    frame.messageLength = fieldAt(fixed, demo::kMessageLengthOffset);
    return frame;
}

void lookUpMap(RunFindings& f, const RecordsDatabase* records, std::string_view mapKey) {
    if (records == nullptr || records->state != RecordsState::loaded) return;
    const std::optional<size_t> index = records->findMap(mapKey);
    if (!index || *index >= records->records.size()) return;
    const MapRecord& map = records->records[*index];
    f.mapKnown = true;
    f.mode = map.mode;
    f.startEntries = map.startEntries;
    f.stopEntries = map.stopEntries;
    if (map.mode == 3) {
        f.startKinds.assign(map.startKinds.begin(), map.startKinds.end());
        f.stopKinds.assign(map.stopKinds.begin(), map.stopKinds.end());
    }
}

bool identityComplete(const RunFindings& f, const CheckResult& result) {
    return result.steamId.valid && f.playerName[0] != '\0' && f.soundsFound;
}

void scanStartupBlock(RunFindings& f, std::span<const uint8_t> block, CheckResult& result, int32_t progressAfterBlock) {
    if (identityComplete(f, result)) return;
    if (!block.empty() && block[0] == kResourceListMessage && !f.soundsFound) {
        scanSoundResources(f, block);
    } else {
        scanIdentity(f, block, result, progressAfterBlock);
    }
}

void noteConsoleCommand(RunFindings& f, std::span<const uint8_t, 5> command) {
    if (f.mode != 0 && std::memcmp(command.data(), "+use", 5) == 0) f.useSeen = true;
}

void countRunFrame(RunFindings& f, const ClientFrameFields& frame) {
    if (f.useSeen && f.mode == 3) f.origin = frame.origin;
    // A command of 0 ms has no frame rate; such a frame is not counted.
    if (frame.commandMsec != 0) {
        const uint32_t fps = kFpsOfMsec[frame.commandMsec];
        f.highestFps = std::max(f.highestFps, fps);
        f.fpsSum += fps;
        ++f.fpsCount;
    }
    for (size_t k = 0; k < kSettingCount; ++k) {
        if (f.settingCorrect[k] && frame.settingBits[k] != kSettings[k].expectedBits) f.settingCorrect[k] = false;
    }
    if (f.series) {
        uint8_t wrong = 0;
        for (size_t k = 0; k < kSettingCount; ++k) {
            if (frame.settingBits[k] != kSettings[k].expectedBits) wrong |= static_cast<uint8_t>(1u << k);
        }
        addSeriesFrame(*f.series, frame.time, kFpsOfMsec[frame.commandMsec], wrong);
    }
}

std::string_view settingName(size_t k) { return k < kSettingCount ? kSettings[k].name : ""; }

bool takeDetectorTurn(RunFindings& f) {
    if (!f.mapKnown || (f.mode != 0 && !f.useSeen)) return false;
    f.useSeen = false;
    return true;
}

TriggerInputs triggerInputs(const RunFindings& f) {
    TriggerInputs in;
    in.entries = f.runStarted ? f.stopEntries : f.startEntries;
    in.kinds = f.runStarted ? f.stopKinds : f.startKinds;
    in.mode = f.mode;
    in.selectSoundIndex = f.selectSoundIndex;
    in.denySoundIndex = f.denySoundIndex;
    in.origin = f.origin;
    return in;
}

bool applyTrigger(RunFindings& f, bool detected, float frameTime) {
    if (!detected) return false;
    if (!f.runStarted) {
        // The run is judged from here on; the starting frame itself is not counted.
        f.startTime = frameTime;
        f.runStarted = true;
        f.settingCorrect.fill(true);
        f.highestFps = 0;
        f.fpsSum = 0;
        f.fpsCount = 0;
        if (f.series) startSeriesRun(*f.series, frameTime);
        return false;
    }
    f.runTime = frameTime - f.startTime;
    f.runFinished = true;
    if (f.series) finishSeriesRun(*f.series, f.runTime);
    return true;
}

bool passLanTest(RunFindings& f, bool startMarkerSeen) {
    if (startMarkerSeen && !f.networkFrameSeen) return false;
    f.networkFrameSeen = false;
    return true;
}

void writeVerdicts(const RunFindings& f, CheckResult& result) {
    result.averageFpsText.clear();
    for (WideText& line : result.settingsLines) line.clear();
    result.runTimeText.clear();

    for (size_t k = 0; k < kSettingCount; ++k) {
        if (!f.settingCorrect[k]) {
            const std::string_view name = kSettings[k].name;
            result.settingsLines[k + 1].assign(std::wstring(name.begin(), name.end()) + L" is not correct");
        }
    }
    // A run without a counted frame has no rate; it shows as 0.00.
    const float average = f.fpsCount == 0 ? 0.0f : static_cast<float>(f.fpsSum) / static_cast<float>(f.fpsCount);
    result.averageFps = average;
    result.averageFpsText.assign(averageFpsText(average));
    if (f.highestFps > 100) result.settingsLines[0].assign(L"highest fps is " + std::to_wstring(f.highestFps));

    if (f.runFinished) {
        result.runTimeText.assign(runTimeText(f.runTime, result.mapKeyView() == "kz_cup_storage"));
    } else {
        result.runTimeText.assign(L"--:--.--");
    }
}

}  // namespace rw
