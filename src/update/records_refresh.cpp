#include "update/records_refresh.h"

#include <algorithm>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/http.h"
#include "records/records_file.h"
#include "records/records_image.h"
#include "base/result.h"
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
    Failed,    // no copy arrived (or it could not be written)
    Refused,   // a copy arrived but is not one the program would load
    Forged,    // a copy arrived that the release key did not sign, or an older one
};

// Downloads the server's file into memory and writes it over the local file
// only once it verifies, so a transfer cut short, a damaged copy or a replay
// of an older signed file never replaces a good local file. With `above`
// the copy's revision must be higher.
Download downloadVerified(const RecordsDatabase& db, const RecordsSources& sources, std::optional<uint32_t> above) {
    const Result<platform::FetchedBody> got =
        platform::fetchToMemory(sources.recordsUrl, platform::kRecordsAgent, kRecordsMaxFileSize, sources.deadline);
    if (!got) return Download::Failed;
    const Result<RecordsImage> image = verifyRecordsImage(got->bytes, db.maxFormatVersion);
    if (got->cut || !image) return Download::Refused;
    if ((above && image->revision <= *above) ||
        !checkReleaseSignature(sources.releaseKey, sources.recordsUrl, kRecordsRole, image->revision, got->bytes,
                               sources.deadline)) {
        return Download::Forged;
    }
    return platform::writeFileSafely(db.fileName, got->bytes) ? Download::Replaced : Download::Failed;
}

// An oversized list is merged up to its last whole line.
void dropCutLine(std::vector<uint8_t>& list) {
    const auto lastBreak = std::find(list.rbegin(), list.rend(), uint8_t{'\n'});
    list.erase(lastBreak.base(), list.end());
}

void mergeList(RecordsDatabase& db, const RecordsSources& sources, std::optional<std::vector<uint8_t>>* runsList) {
    Result<platform::FetchedBody> list =
        platform::fetchToMemory(sources.runsListUrl, platform::kUpdateAgent, kRunsListLimit, sources.deadline);
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

// The messages name the file, not the folder it lives in.
std::wstring updatedFileText(const RecordsDatabase& db, uint32_t serverRevision) {
    return L"Updated file: " + quotedFileName(db.fileName.filename()) + L" (" + std::to_wstring(serverRevision) + L")";
}

std::wstring restoredFileText(const RecordsDatabase& db) {
    return L"Restored file: " + quotedFileName(db.fileName.filename());
}

RefreshOutcome refreshRecords(RecordsDatabase& db, const RecordsSources& sources,
                              std::optional<std::vector<uint8_t>>* runsList) {
    RefreshOutcome out;  // a later message replaces an earlier one
    const auto say = [&](RefreshKind kind, std::wstring text) {
        out.kind = kind;
        out.message = std::move(text);
    };
    const std::filesystem::path shownName = db.fileName.filename();
    const auto fail = [&](RefreshKind kind, std::wstring text) {
        db.state = RecordsState::rejected;
        db.records.clear();
        say(kind, std::move(text));
        return out;
    };
    const bool signedOnly = !sources.releaseKey.empty();

    // 1. Both headers.
    db.revision = 0;
    db.bodyCrc = 0;
    std::optional<RecordsHeader> server;
    if (auto prefix = platform::fetchPrefix(sources.recordsUrl, platform::kRecordsAgent, kRecordsHeaderSize,
                                            sources.deadline)) {
        if (auto header = parseRecordsHeader(*prefix)) server = *header;
    }
    const bool serverUsable = server && server->formatVersion <= db.maxFormatVersion;
    const Result<RecordsHeader> local = readLocalRecordsHeader(db.fileName);
    if (local) {
        db.revision = local->revision;
        db.bodyCrc = local->bodyCrc;
    }

    // 2. A newer file on the server: signed, only a higher revision; unsigned,
    // any difference. A missing local file waits for step 4.
    bool downloadFailed = false;
    const bool newer = server && (signedOnly ? server->revision > db.revision
                                             : server->revision != db.revision || server->bodyCrc != db.bodyCrc);
    if (!server) {
        say(RefreshKind::ConnectionFailed, std::wstring(kConnectionMessage));
    } else if (serverUsable && local && newer) {
        const Download update = downloadVerified(db, sources, signedOnly ? std::optional(db.revision) : std::nullopt);
        if (update == Download::Replaced) {
            say(RefreshKind::Updated, updatedFileText(db, server->revision));
        } else if (update == Download::Forged) {
            say(RefreshKind::SignatureFailed, signatureErrorText(shownName));  // the local file stays in use
        } else {
            say(RefreshKind::ConnectionFailed, std::wstring(kConnectionMessage));
            downloadFailed = true;
        }
    }

    // 3. Verify the local file.
    LoadedFile file;
    if (local) loadFile(db, file);
    const bool verified = local && file.image;

    // 4. Restore a file that failed its check, from any good copy. A copy
    // that arrived but does not verify is the server's fault, not the connection's.
    bool restoreRefused = false;
    const bool newerLocal = !file.image && file.image.kind() == FailureKind::newerFormat;
    if (!verified && !newerLocal && serverUsable && !downloadFailed) {
        const Download restore = downloadVerified(db, sources, std::nullopt);
        if (restore == Download::Replaced) {
            loadFile(db, file);
            say(RefreshKind::Restored, restoredFileText(db));
        } else if (restore == Download::Refused) {
            restoreRefused = true;
        } else if (restore == Download::Forged) {
            return fail(RefreshKind::SignatureFailed, signatureErrorText(shownName));
        } else {
            say(RefreshKind::ConnectionFailed, std::wstring(kConnectionMessage));
        }
    }

    // 5. Still failing: the CRC message, and the records list is not fetched.
    // With no file at all the database is loaded and empty.
    if ((!file.image && file.image.kind() != FailureKind::missing) || restoreRefused) {
        return fail(RefreshKind::ChecksumFailed, crcErrorText(shownName));
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
    return out;
}

}  // namespace rw
