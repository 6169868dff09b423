#include "records/self_update.h"

#include "base/byte_cursor.h"
#include "platform/http.h"
#include "records/crc32.h"

namespace rw {
namespace {

constexpr int32_t kNoOutcome = 0;
constexpr int32_t kConnectionFailed = -1;

std::filesystem::path inWorkingFolder(const UpdateSettings& settings, std::wstring_view name) {
    return settings.workingFolder.empty() ? std::filesystem::path(name) : settings.workingFolder / name;
}

void showStatus(CheckResult& result, std::wstring_view text, int32_t code) {
    result.messageText.assign(text);
    setStatusAndRepaint(result, code);
}

// The previous instance may still be closing and holding its file, so the
// deletion is retried, though not for ever: a file that can never be deleted
// must not keep the update pass, and with it the first check, waiting.
void deletePreviousProgram(UpdateHost& host, const std::filesystem::path& path) {
    const uint64_t start = host.steadyMilliseconds();
    while (!host.deleteFile(path) && host.fileExists(path)) {
        if (host.steadyMilliseconds() - start >= kDeleteRetryLimitMs) return;
        host.sleepMilliseconds(1);
    }
}

// Looks for the first argument beginning with "-delete " and deletes the file
// it names. True when the switch was honoured.
bool finishPreviousUpdate(UpdateHost& host) {
    for (const std::wstring& arg : host.commandLineArguments()) {
        if (arg.compare(0, kDeleteSwitch.size(), kDeleteSwitch) != 0) continue;
        if (arg.size() > kSwitchArgumentMax) return false;  // would not fit its buffer
        deletePreviousProgram(host, std::filesystem::path(arg.substr(kDeleteSwitch.size())));
        return true;
    }
    return false;
}

// Downloads the new program over "Runwarden.exe" after moving the running
// program aside, checks it and starts it. On any failure after the move the
// old program is put back under its own path.
bool replaceAndRestart(UpdateHost& host, const UpdateSettings& settings, const std::string& programUrl,
                       uint32_t expectedCrc) {
    const std::filesystem::path programFile = inWorkingFolder(settings, kProgramFileName);
    const std::filesystem::path updatingFile = inWorkingFolder(settings, kUpdatingFileName);
    std::optional<std::filesystem::path> ownPath;
    bool movedAside = false;
    const auto prepare = [&] {
        ownPath = host.modulePath();
        if (ownPath) movedAside = host.moveFile(*ownPath, updatingFile);
    };
    platform::FetchedFileAndBytes download =
        platform::fetchToFileAndMemory(programUrl, platform::kUpdateAgent, programFile, prepare, kProgramFileLimit);
    if (download.ok && !download.incomplete && crc32(download.bytes) == expectedCrc &&
        host.startProgram(programFile, kRestartParameters)) {
        host.closeMainWindow();
        return true;
    }
    // Restore. Only a program that was really moved aside is deleted and
    // moved back; otherwise the file at its own path is still the program.
    if (download.ok) host.deleteFile(programFile);
    if (movedAside) {
        host.deleteFile(*ownPath);
        host.moveFile(updatingFile, *ownPath);
    }
    return false;
}

}  // namespace

UpdateSettings defaultUpdateSettings() {
    UpdateSettings s;
    s.updateFolderUrl = std::string(RW_UPDATE_SERVER) + "/intern/Runwarden/";
    s.records = defaultRecordsSources();
    return s;
}

std::optional<UpdateDescriptor> parseUpdateDescriptor(std::span<const uint8_t> bytes) {
    ByteCursor cur(bytes);
    UpdateDescriptor d;
    d.version = cur.u32();
    d.programCrc = cur.u32();
    if (!cur.ok()) return std::nullopt;
    return d;
}

std::array<uint8_t, kUpdateDescriptorSize> encodeUpdateDescriptor(const UpdateDescriptor& descriptor) {
    std::array<uint8_t, kUpdateDescriptorSize> bytes{};
    storeU32(bytes.data(), descriptor.version);
    storeU32(bytes.data() + 4, descriptor.programCrc);
    return bytes;
}

UpdatePassEnd runUpdatePass(CheckResult& result, RecordsDatabase& db, UpdateHost& host, const UpdateSettings& settings,
                            std::optional<std::vector<uint8_t>>* runsList) {
    int32_t outcome = kNoOutcome;

    // Finishing a previous update.
    const bool justUpdated = finishPreviousUpdate(host);
    if (justUpdated) {
        showStatus(result, kUpdatedText, status::updateMessage);
        outcome = status::updateMessage;
    }

    // Change log and descriptor.
    if (justUpdated) {
        platform::FetchedBytes log =
            platform::fetchToMemory(settings.updateFolderUrl + "changelog.txt", platform::kUpdateAgent, kChangeLogLimit);
        if (!log.opened) outcome = kConnectionFailed;
        host.showChangeLog(std::string(log.bytes.begin(), log.bytes.end()));
    }
    const std::string platformFolder = settings.updateFolderUrl + "x64/";
    std::optional<UpdateDescriptor> descriptor;
    if (outcome != kConnectionFailed) {
        if (auto bytes = platform::fetchPrefix(platformFolder + "UpdateData.dat", platform::kUpdateAgent,
                                               kUpdateDescriptorSize)) {
            descriptor = parseUpdateDescriptor(*bytes);
        }
    }
    if (!descriptor) {
        outcome = kConnectionFailed;
        result.messageText.assign(kConnectionMessage);  // shown only with the final status code
    }

    // Offer and install a different version.
    if (descriptor && descriptor->version != settings.programVersion && host.confirmUpdate()) {
        showStatus(result, kUpdatingText, status::updateMessage);
        if (replaceAndRestart(host, settings, platformFolder + "Runwarden.exe", descriptor->programCrc)) {
            return UpdatePassEnd::Restarted;
        }
        showStatus(result, kUpdateFailedText, status::updateMessage);
        outcome = status::updateMessage;
    }

    // Records refresh and the end: a records message replaces every update message.
    if (const auto message = refreshRecords(db, settings.records, runsList)) showStatus(result, *message, -1);
    if (outcome == status::updateMessage) outcome = -1;
    if (result.status() >= status::updateCheckRunning) setStatusAndRepaint(result, outcome);
    return UpdatePassEnd::Finished;
}

}  // namespace rw
