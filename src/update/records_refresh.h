#pragma once
// Brings the RecordsDatabase up to date once per run: compares the local
// RecData.dat with the update server's copy, downloads a newer or restores a
// damaged file, decodes the verified file and merges the world-record list.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/records_database.h"

namespace rw {

struct RecordsSources {
    std::string recordsUrl;   // RecData.dat on the update server
    std::string runsListUrl;  // demos_tcl.txt on the records-list server
    // The release key RecData.dat must be signed with; empty: not signed.
    std::vector<uint8_t> releaseKey;
    std::chrono::milliseconds deadline = std::chrono::seconds(60);  // of each transfer
};

// The build's servers: RW_UPDATE_SERVER "/intern/Runwarden/RecData.dat" and
// RW_LIST_SERVER "/demos_tcl.txt", and the build's release key.
RecordsSources defaultRecordsSources();

// Larger records lists are cut at the last whole line below this size.
inline constexpr size_t kRunsListLimit = 8u << 20;

// Status messages of the refresh.
inline constexpr std::wstring_view kConnectionMessage = L"Unable to connect to update server!";
std::wstring updatedFileText(const RecordsDatabase& db, uint32_t serverRevision);
std::wstring restoredFileText(const RecordsDatabase& db);

// How a pass ended, for callers that act on it; the message is for the user.
enum class RefreshKind {
    Unchanged,         // the local file is in use as it was; no message
    Updated,           // a newer file replaced the local one
    Restored,          // a missing or damaged local file was fetched afresh
    ConnectionFailed,  // no usable copy came from the server; the local file is in use
    SignatureFailed,   // the server's copy is not signed by the release key
    ChecksumFailed,    // the local file fails its check and could not be restored: no records
};
struct RefreshOutcome {
    RefreshKind kind = RefreshKind::Unchanged;
    std::optional<std::wstring> message;
};

// The whole pass on a freshly constructed database. The server's copy is
// downloaded into memory and written over the local file only after it has
// verified (verifyRecordsImage, then its signature when there is a release
// key); one that does not leaves the local file as it was. With a key only a
// higher revision replaces a good local file; a missing or damaged one is
// restored from any validly signed copy. Without one any other revision or
// checksum does. When `runsList` is given it receives the records list bytes
// that were merged, if the list URL opened.
RefreshOutcome refreshRecords(RecordsDatabase& db, const RecordsSources& sources,
                              std::optional<std::vector<uint8_t>>* runsList = nullptr);

}  // namespace rw
