#include "update/self_update.h"

#include "base/byte_cursor.h"
#include "platform/http.h"
#include "records/crc32.h"
#include "update/release_signature.h"

namespace rw {
namespace {

constexpr int32_t kNoOutcome = 0;
constexpr int32_t kConnectionFailed = -1;

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
// it names; a relative name is in the program's own folder, where the update
// put it. True when the switch was honoured.
bool finishPreviousUpdate(UpdateHost& host) {
    for (const std::wstring& arg : host.commandLineArguments()) {
        if (arg.compare(0, kDeleteSwitch.size(), kDeleteSwitch) != 0) continue;
        if (arg.size() > kSwitchArgumentMax) return false;  // would not fit its buffer
        std::filesystem::path file(arg.substr(kDeleteSwitch.size()));
        if (file.is_relative()) {
            if (const auto own = host.modulePath()) file = own->parent_path() / file;
        }
        deletePreviousProgram(host, file);
        return true;
    }
    return false;
}

// An "Updating.tmp" left behind by an update whose clean-up failed must not
// block this one: it is deleted, or when it cannot be, moved out of the way.
bool clearUpdatingName(UpdateHost& host, const std::filesystem::path& updating) {
    if (!host.fileExists(updating) || host.deleteFile(updating)) return true;
    for (int n = 1; n <= kLeftoverNamesMax; ++n) {
        const std::wstring aside = L"Updating-" + std::to_wstring(n) + L".tmp";
        if (host.moveFile(updating, updating.parent_path() / aside)) return true;
    }
    return false;
}

// Downloads the new program beside the running one under a temporary name and
// swaps the two only once it has verified, so a whole program is in place at
// every moment: a kill or a power cut during the download leaves the old
// program where it was. Every file lives in the program's own folder, never
// in the folder it was started in. On a failure after the swap the old
// program is put back under its own path.
bool replaceAndRestart(UpdateHost& host, const std::string& programUrl, uint32_t expectedCrc,
                       std::span<const uint8_t> releaseKey) {
    const std::optional<std::filesystem::path> ownPath = host.modulePath();
    if (!ownPath) return false;
    const std::filesystem::path folder = ownPath->parent_path();
    const std::filesystem::path download = folder / kDownloadFileName;
    const std::filesystem::path programFile = folder / kProgramFileName;
    const std::filesystem::path updatingFile = folder / kUpdatingFileName;

    const Result<std::vector<uint8_t>> fetched =
        platform::fetchToFileAndMemory(programUrl, platform::kUpdateAgent, download, kProgramFileLimit);
    const bool verified =
        fetched && crc32(*fetched) == expectedCrc && checkReleaseSignature(releaseKey, programUrl, *fetched);
    if (!verified || !clearUpdatingName(host, updatingFile) || !host.moveFile(*ownPath, updatingFile)) {
        host.deleteFile(download);
        return false;
    }
    if (host.moveFile(download, programFile)) {
        if (host.startProgram(programFile, kRestartParameters)) {
            host.closeMainWindow();
            return true;
        }
        host.deleteFile(programFile);
    }
    host.deleteFile(download);
    host.moveFile(updatingFile, *ownPath);
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
        const Result<platform::FetchedBody> log =
            platform::fetchToMemory(settings.updateFolderUrl + "changelog.txt", platform::kUpdateAgent, kChangeLogLimit);
        if (!log) outcome = kConnectionFailed;
        host.showChangeLog(log ? std::string(log->bytes.begin(), log->bytes.end()) : std::string());
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
        // One release key signs both the program and the records.
        if (replaceAndRestart(host, platformFolder + "Runwarden.exe", descriptor->programCrc,
                              settings.records.releaseKey)) {
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
