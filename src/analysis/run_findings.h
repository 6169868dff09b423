#pragma once
// What a check learns about the recorded run while the frames are walked: who
// recorded it, the weapon-selection sound indices, "+use" commands, frame
// rates, the server settings, the run's start and finish, and the LAN test;
// and the verdict texts written from it when the walk ends normally.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/demo_format.h"
#include "analysis/run_series.h"
#include "analysis/trigger_detector.h"
#include "base/check_result.h"
#include "records/records_database.h"

namespace rw {

// The seven server settings in the order of their settings lines (1 to 7).
inline constexpr size_t kSettingCount = 7;

struct ClientFrameFields {
    float time = 0.0f;
    std::array<float, 3> origin{};
    uint8_t commandMsec = 0;
    std::array<uint32_t, kSettingCount> settingBits{};  // raw 32-bit values, settings line order
    uint32_t messageLength = 0;
};

// The fields of a type-0/1 frame's fixed part (the bytes after its type byte).
ClientFrameFields decodeClientFrame(std::span<const uint8_t, demo::kClientFixedSize> fixed);

struct RunFindings {
    bool mapKnown = false;
    uint8_t mode = 0;
    std::vector<ByteString> startEntries;
    std::vector<ByteString> stopEntries;
    std::vector<uint8_t> startKinds;  // mode 3 only: 1 = pattern, 0 = position
    std::vector<uint8_t> stopKinds;

    int32_t selectSoundIndex = kNoSoundIndex;
    int32_t denySoundIndex = kNoSoundIndex;
    bool soundsFound = false;
    std::array<char, 260> playerName{};  // 8-bit; non-empty once found

    bool useSeen = false;
    std::array<float, 3> origin{};
    bool networkFrameSeen = true;

    bool runStarted = false;
    bool runFinished = false;
    float startTime = 0.0f;
    float runTime = 0.0f;

    std::array<bool, kSettingCount> settingCorrect{true, true, true, true, true, true, true};
    uint32_t highestFps = 0;
    uint64_t fpsSum = 0;
    uint32_t fpsCount = 0;

    RunSeries* series = nullptr;  // gathered only when a run graph is asked for
};

// Takes what the detector needs from the map's record, when the database is
// loaded and knows the map.
void lookUpMap(RunFindings& findings, const RecordsDatabase* records, std::string_view mapKey);

// True once the SteamID, the player name and the sound indices are known, so
// type-0 blocks need not be read any more.
bool identityComplete(const RunFindings& findings, const CheckResult& result);

// A type-0 message block: the sound resource list, or the player's identity.
// progressAfterBlock is the status code published when the name is found.
void scanStartupBlock(RunFindings& findings, std::span<const uint8_t> block, CheckResult& result,
                      int32_t progressAfterBlock);

// The first five bytes of a console command (modes 1 to 3).
void noteConsoleCommand(RunFindings& findings, std::span<const uint8_t, 5> command);

// The setting's console name ("sv_gravity"), settings line k + 1.
std::string_view settingName(size_t k);

// Frame rate, settings and origin of a type-1 frame after the start marker.
void countRunFrame(RunFindings& findings, const ClientFrameFields& frame);

// Whether the detector runs on this frame; when it does, the "+use" that
// allowed it is used up.
bool takeDetectorTurn(RunFindings& findings);

// The entries of the current phase (start until the run starts, then stop).
TriggerInputs triggerInputs(const RunFindings& findings);

// The detector's answer for a frame at the given time. True when it finished
// the run, which ends the walk after this frame.
bool applyTrigger(RunFindings& findings, bool detected, float frameTime);

// A type-9 frame. False when, after the start marker, no network frame came
// since the previous type-9 frame: the demo was not recorded on a LAN server.
bool passLanTest(RunFindings& findings, bool startMarkerSeen);

// Clears and writes the run time, average fps and settings texts.
void writeVerdicts(const RunFindings& findings, CheckResult& result);

}  // namespace rw
