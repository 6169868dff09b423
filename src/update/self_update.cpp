#include "update/self_update.h"

#include "base/byte_cursor.h"
#include "platform/file_system.h"
#include "platform/http.h"
#include "records/crc32.h"
#include "records/records_file.h"
#include "update/release_signature.h"

namespace rw {
namespace {

constexpr int32_t kNoOutcome = 0;
constexpr int32_t kConnectionFailed = -1;

void showStatus(CheckResult& result, std::wstring_view text, int32_t code) {
    result.messageText.assign(text);
    setStatusAndRepaint(result, code);
}

std::wstring leftoverName(int n) { return L"Updating-" + std::to_wstring(n) + L".tmp"; }

// The only files "-delete" may name: what an update of this program leaves
// behind in its own folder.
bool isUpdateLeftover(const std::filesystem::path& name) {
    if (name == kUpdatingFileName) return true;
    for (int n = 1; n <= kLeftoverNamesMax; ++n) {
        if (name == leftoverName(n)) return true;
    }
    return false;
}

// Retries `step` until it succeeds or kDeleteRetryLimitMs have passed: the
// previous instance or an antivirus may hold the file for a while.
template <class Step>
bool retry(UpdateHost& host, uint32_t pauseMs, Step step) {
    const uint64_t start = host.steadyMilliseconds();
    while (!step()) {
        if (host.steadyMilliseconds() - start >= kDeleteRetryLimitMs) return false;
        host.sleepMilliseconds(pauseMs);
    }
    return true;
}

// Looks for the first argument beginning with "-delete " and deletes the file
// it names, which must be "Updating.tmp" or "Updating-N.tmp" in the
// program's own folder (a bare name is taken there). True when the switch was
// honoured.
bool finishPreviousUpdate(UpdateHost& host, const std::optional<std::filesystem::path>& ownPath) {
    for (const std::wstring& arg : host.commandLineArguments()) {
        if (arg.compare(0, kDeleteSwitch.size(), kDeleteSwitch) != 0) continue;
        if (arg.size() > kSwitchArgumentMax || !ownPath) return false;  // would not fit its buffer
        const std::filesystem::path named(arg.substr(kDeleteSwitch.size()));
        const std::filesystem::path folder = ownPath->parent_path();
        const bool inOwnFolder = !named.has_parent_path() || named.parent_path() == folder;
        if (!inOwnFolder || !isUpdateLeftover(named.filename())) return false;
        const std::filesystem::path file = folder / named.filename();
        retry(host, 1, [&] { return host.deleteFile(file) || !host.fileExists(file); });
        return true;
    }
    return false;
}

// What an interrupted or stuck update may have left: old programs moved out
// of the way, and a new program that was never verified in its place.
void removeLeftovers(UpdateHost& host, const std::filesystem::path& folder) {
    for (int n = 1; n <= kLeftoverNamesMax; ++n) {
        const std::filesystem::path file = folder / leftoverName(n);
        if (host.fileExists(file)) host.deleteFile(file);
    }
    if (host.fileExists(folder / kDownloadFileName)) host.deleteFile(folder / kDownloadFileName);
}

// An "Updating.tmp" left behind by an update whose clean-up failed must not
// block this one: it is deleted, or when it cannot be, moved out of the way.
bool clearUpdatingName(UpdateHost& host, const std::filesystem::path& updating) {
    if (!host.fileExists(updating) || host.deleteFile(updating)) return true;
    for (int n = 1; n <= kLeftoverNamesMax; ++n) {
        if (host.moveFile(updating, updating.parent_path() / leftoverName(n))) return true;
    }
    return false;
}

// Puts the old program back under its own path before anything is deleted.
// The new program is moved aside first; if the old one cannot be moved back,
// the new one returns to its place, so a program is always there.
void restoreOldProgram(UpdateHost& host, const std::filesystem::path& ownPath, const std::filesystem::path& updating,
                       const std::filesystem::path& programFile, const std::filesystem::path& aside) {
    const bool newInPlace = host.fileExists(programFile) && host.moveFile(programFile, aside);
    if (retry(host, kMoveBackRetryMs, [&] { return host.moveFile(updating, ownPath); })) {
        if (newInPlace) host.deleteFile(aside);
    } else if (newInPlace) {
        host.moveFile(aside, programFile);
    }
}

// Downloads the new program into memory and verifies it there; only those
// bytes are written, to a file created exclusively beside the running one,
// and swapped in. A whole program is in place at every moment but between
// the two renames. Every file lives in the program's own folder.
bool replaceAndRestart(UpdateHost& host, const UpdateSettings& settings, const std::filesystem::path& ownPath,
                       const std::string& programUrl, const UpdateDescriptor& descriptor) {
    const std::filesystem::path folder = ownPath.parent_path();
    const std::filesystem::path download = folder / kDownloadFileName;
    const std::filesystem::path programFile = folder / kProgramFileName;
    const std::filesystem::path updatingFile = folder / kUpdatingFileName;

    const Result<platform::FetchedBody> fetched =
        platform::fetchToMemory(programUrl, platform::kUpdateAgent, kProgramFileLimit, settings.programDeadline);
    if (!fetched || fetched->cut || crc32(fetched->bytes) != descriptor.programCrc ||
        !checkReleaseSignature(settings.records.releaseKey, programUrl, kProgramRole, descriptor.version,
                               fetched->bytes, settings.records.deadline)) {
        return false;
    }

    host.holdClose(true);
    const std::unique_ptr<platform::PendingFile> pending = platform::writePendingFile(download, fetched->bytes);
    if (!pending || !clearUpdatingName(host, updatingFile) || !host.moveFile(ownPath, updatingFile)) {
        host.holdClose(false);
        return false;
    }
    if (pending->commit(programFile) && host.startProgram(programFile, kRestartParameters)) {
        host.closeMainWindow();
        return true;
    }
    restoreOldProgram(host, ownPath, updatingFile, programFile, download);
    host.holdClose(false);
    return false;
}

// The change log after an update; shown only when it verifies. False when it
// could not be fetched.
bool showChangeLog(UpdateHost& host, const UpdateSettings& settings) {
    const std::string url = settings.updateFolderUrl + "changelog.txt";
    const Result<platform::FetchedBody> log =
        platform::fetchToMemory(url, platform::kUpdateAgent, kChangeLogLimit, settings.records.deadline);
    if (!log) {
        host.showChangeLog({});  // the box comes up empty, as after any update
        return false;
    }
    if (!checkReleaseSignature(settings.records.releaseKey, url, kChangeLogRole, 0, log->bytes,
                               settings.records.deadline)) {
        return true;
    }
    host.showChangeLog(std::string(log->bytes.begin(), log->bytes.end()));
    return true;
}

}  // namespace

UpdateSettings defaultUpdateSettings() {
    UpdateSettings s;
    s.updateFolderUrl = std::string(RW_UPDATE_SERVER) + "/intern/Runwarden/";
    s.records = defaultRecordsSources();
    s.unsignedProgramUpdates = RW_UNSIGNED_UPDATES != 0;
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

bool offersVersion(const UpdateSettings& settings, uint32_t version) {
    switch (updateTrust(settings.records.releaseKey, settings.unsignedProgramUpdates)) {
        case UpdateTrust::Signed: return version > settings.programVersion;
        case UpdateTrust::UnsignedAllowed: return version != settings.programVersion;
        case UpdateTrust::UnsignedOff: break;
    }
    return false;
}

UpdatePassEnd runUpdatePass(CheckResult& result, RecordsDatabase& db, UpdateHost& host, const UpdateSettings& settings,
                            std::optional<std::vector<uint8_t>>* runsList) {
    int32_t outcome = kNoOutcome;
    const std::optional<std::filesystem::path> ownPath = host.modulePath();
    if (ownPath && db.fileName.is_relative()) db.fileName = ownPath->parent_path() / db.fileName;

    // Finishing a previous update, and what earlier ones left.
    const bool justUpdated = finishPreviousUpdate(host, ownPath);
    if (ownPath) removeLeftovers(host, ownPath->parent_path());
    if (justUpdated) {
        showStatus(result, kUpdatedText, status::updateMessage);
        outcome = status::updateMessage;
    }

    // Change log and descriptor, each verified before use.
    if (justUpdated && !showChangeLog(host, settings)) outcome = kConnectionFailed;
    const std::string platformFolder = settings.updateFolderUrl + "x64/";
    const std::string descriptorUrl = platformFolder + "UpdateData.dat";
    std::optional<UpdateDescriptor> descriptor;
    std::wstring failure(kConnectionMessage);
    if (outcome != kConnectionFailed) {
        const Result<platform::FetchedBody> bytes =
            platform::fetchToMemory(descriptorUrl, platform::kUpdateAgent, kDescriptorLimit, settings.records.deadline);
        if (bytes) descriptor = parseUpdateDescriptor(bytes->bytes);
        const std::span<const uint8_t> key = settings.records.releaseKey;
        if (descriptor && !key.empty() &&
            (bytes->cut || !checkReleaseSignature(key, descriptorUrl, kDescriptorRole, descriptor->version,
                                                  bytes->bytes, settings.records.deadline))) {
            descriptor.reset();
            failure = signatureErrorText(std::string(kDescriptorRole));
        }
    }
    if (!descriptor) {
        outcome = kConnectionFailed;
        result.messageText.assign(failure);  // shown only with the final status code
    }

    // Offer and install a newer version.
    if (descriptor && ownPath && offersVersion(settings, descriptor->version) && host.confirmUpdate()) {
        showStatus(result, kUpdatingText, status::updateMessage);
        if (replaceAndRestart(host, settings, *ownPath, platformFolder + "Runwarden.exe", *descriptor)) {
            return UpdatePassEnd::Restarted;
        }
        showStatus(result, kUpdateFailedText, status::updateMessage);
        outcome = status::updateMessage;
    }

    // Records refresh and the end: a records message replaces every update message.
    if (const RefreshOutcome refreshed = refreshRecords(db, settings.records, runsList); refreshed.message) {
        showStatus(result, *refreshed.message, -1);
    }
    if (outcome == status::updateMessage) outcome = -1;
    if (result.status() >= status::updateCheckRunning) setStatusAndRepaint(result, outcome);
    return UpdatePassEnd::Finished;
}

}  // namespace rw
