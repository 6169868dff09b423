#include "update/records_refresh.h"

#include <algorithm>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/http.h"
#include "records/records_file.h"
#include "records/records_image.h"
#include "update/release_signature.h"
#include "records/runs_list.h"
#include "rw_config.h"

namespace rw {
namespace {

// The local file as the pass last loaded it: accepted, or why not.
struct LoadedFile {
    Result<RecordsImage> image = Failure{FailureKind::missing, {}};
};

void loadFile(RecordsDatabase& db, LoadedFile& file) {
    file.image = acceptRecordsFile(db.fileName);
    if (file.image) db.revision = file.image->revision;
}

enum class Download {
    Replaced,  // the server's copy verified and is now the local file
    Failed,    // no copy arrived (or it could not be moved into place)
    Refused,   // a copy arrived but is not one the program would load
    Forged,    // a copy arrived that the release key did not sign
};

// Downloads the server's file beside the local one and moves it over the
// local file only once it verifies, so a transfer cut short or a damaged copy
// on the server never replaces a good local file.
Download downloadVerified(const RecordsDatabase& db, const RecordsSources& sources) {
    const std::string& url = sources.recordsUrl;
    std::filesystem::path part = db.fileName;
    part += ".part";
    Download outcome = Download::Failed;
    if (platform::fetchToFile(url, platform::kRecordsAgent, part, kRecordsMaxFileSize)) {
        const auto bytes = loadRecordsFile(part);
        if (!bytes || !verifyRecordsImage(*bytes, db.maxFormatVersion)) {
            outcome = Download::Refused;
        } else if (!checkReleaseSignature(sources.releaseKey, url, *bytes)) {
            outcome = Download::Forged;
        } else if (platform::replaceFile(part, db.fileName)) {
            outcome = Download::Replaced;
        }
    }
    if (outcome != Download::Replaced) platform::removeFile(part);
    return outcome;
}

// An oversized list is merged up to its last whole line.
void dropCutLine(std::vector<uint8_t>& list) {
    const auto lastBreak = std::find(list.rbegin(), list.rend(), uint8_t{'\n'});
    list.erase(lastBreak.base(), list.end());
}

void mergeList(RecordsDatabase& db, const RecordsSources& sources, std::optional<std::vector<uint8_t>>* runsList) {
    Result<platform::FetchedBody> list =
        platform::fetchToMemory(sources.runsListUrl, platform::kUpdateAgent, kRunsListLimit);
    if (!list) return;
    if (list->cut) dropCutLine(list->bytes);
    mergeRunsList(db, list->bytes);
    if (runsList) *runsList = std::move(list->bytes);
}

}  // namespace

RecordsSources defaultRecordsSources() {
    const std::span<const uint8_t> key = releasePublicKey();
    return RecordsSources{std::string(RW_UPDATE_SERVER) + "/intern/Runwarden/RecData.dat",
                          std::string(RW_LIST_SERVER) + "/demos_tcl.txt", std::vector<uint8_t>(key.begin(), key.end())};
}

std::wstring updatedFileText(const RecordsDatabase& db, uint32_t serverRevision) {
    return L"Updated file: " + quotedFileName(db.fileName) + L" (" + std::to_wstring(serverRevision) + L")";
}

std::wstring restoredFileText(const RecordsDatabase& db) { return L"Restored file: " + quotedFileName(db.fileName); }

std::optional<std::wstring> refreshRecords(RecordsDatabase& db, const RecordsSources& sources,
                                           std::optional<std::vector<uint8_t>>* runsList) {
    std::optional<std::wstring> message;  // a later message replaces an earlier one

    // 1. Both headers.
    db.revision = 0;
    db.bodyCrc = 0;
    std::optional<RecordsHeader> server;  // none: unreachable
    if (auto prefix = platform::fetchPrefix(sources.recordsUrl, platform::kRecordsAgent, kRecordsHeaderSize)) {
        if (auto header = parseRecordsHeader(*prefix)) server = *header;
    }
    const bool serverUsable = server && server->formatVersion <= db.maxFormatVersion;
    const Result<RecordsHeader> local = readLocalRecordsHeader(db.fileName);
    if (local) {
        db.revision = local->revision;
        db.bodyCrc = local->bodyCrc;
    }

    // 2. A newer file on the server. A missing local file waits for step 4.
    bool downloadFailed = false;
    if (!server) {
        message = kConnectionMessage;
    } else if (serverUsable && local && (server->revision != db.revision || server->bodyCrc != db.bodyCrc)) {
        const Download update = downloadVerified(db, sources);
        if (update == Download::Replaced) {
            message = updatedFileText(db, server->revision);
        } else if (update == Download::Forged) {
            message = signatureErrorText(db.fileName);  // the local file stays in use
        } else {
            message = kConnectionMessage;
            downloadFailed = true;
        }
    }

    // 3. Verify the local file.
    LoadedFile file;
    if (local) loadFile(db, file);
    const bool verified = local && file.image;

    // 4. Restore a file that failed its check. A copy that arrived but does
    // not verify is the server's fault, not the connection's.
    bool restoreRefused = false;
    const bool newerLocal = !file.image && file.image.kind() == FailureKind::newerFormat;
    if (!verified && !newerLocal && serverUsable && !downloadFailed) {
        const Download restore = downloadVerified(db, sources);
        if (restore == Download::Replaced) {
            loadFile(db, file);
            message = restoredFileText(db);
        } else if (restore == Download::Refused) {
            restoreRefused = true;
        } else if (restore == Download::Forged) {
            db.state = RecordsState::rejected;
            db.records.clear();
            return signatureErrorText(db.fileName);
        } else {
            message = kConnectionMessage;
        }
    }

    // 5. Still failing: the CRC message, and the records list is not fetched.
    // With no file at all the database is loaded and empty.
    if ((!file.image && file.image.kind() != FailureKind::missing) || restoreRefused) {
        db.state = RecordsState::rejected;
        db.records.clear();
        return crcErrorText(db.fileName);
    }

    // 6. Decode.
    if (file.image) {
        db.decodeRecords(std::move(*file.image));
    } else {
        db.records.clear();
        db.state = RecordsState::loaded;
    }

    // 7. The world-record list.
    mergeList(db, sources, runsList);
    return message;
}

}  // namespace rw
