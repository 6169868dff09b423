#include "fuzz_entries.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>

#include "analysis/run_graph.h"
#include "demo_builder.h"
#include "analysis/steam_id.h"
#include "platform/archive_listing.h"
#include "platform/text.h"
#include "base/check_result.h"
#include "records/records_database.h"
#include "records/records_file.h"
#include "records/runs_list.h"

namespace rw::fuzz {
namespace {

// A database whose one map, the crashers' map, takes the given detection mode,
// with entries small enough that the fuzzer can find them: a pattern and (for
// mode 3; a pattern to the others) a position.
const RecordsDatabase& fuzzDatabase(uint8_t mode) {
    static const auto all = [] {
        std::array<RecordsDatabase, 4> dbs;
        for (uint8_t m = 0; m < 4; ++m) {
            dbs[m].records = {MapRecord{.name = "kz_regression", .runs = {"01:00.00 fuzz"}, .mode = m,
                                        .startEntries = {{0xAA, 0xBB}, {0x10, 0x00, 0x20, 0x00, 0x30, 0x00}},
                                        .stopEntries = {{0xCC}, {0xF0, 0xFF, 0x00, 0x01, 0x00, 0x00}},
                                        .startKinds = {true, false}, .stopKinds = {true, false}}};
            dbs[m].state = RecordsState::loaded;
        }
        return dbs;
    }();
    return all[mode];
}

void demoWalk(const uint8_t* data, size_t size) {
    CheckResult result;
    // The length picks the mode, so any seed reaches every mode's detector.
    const RecordsDatabase& db = fuzzDatabase(size % 4);
    const auto series = std::make_unique<RunSeries>();
    test::checkDemoBytes(std::span(data, size), &db, result, series.get());
    // Everything the window or the command line would read must be terminated.
    if (result.messageText.size() >= kTextCapacity) __builtin_trap();
    (void)db.runCount(result.mapKeyView());
    if (series->used > RunSeries::kMaxBuckets) __builtin_trap();
    (void)runGraphSvg(makeReport({}, result, result.status(), &db), *series);
}

void recordsData(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    (void)verifyRecordsImage(bytes);
    Result<std::vector<StoredMap>> body = parseRecordsBody(bytes);  // as if its checksum were right
    if (body) {
        RecordsDatabase db;
        db.decodeRecords(RecordsImage{0, kRecordsFormatVersion, std::move(*body)});
        if (db.state != RecordsState::loaded) __builtin_trap();
        for (size_t i = 1; i < db.records.size(); ++i)
            if (db.records[i - 1].name > db.records[i].name) __builtin_trap();
        for (const MapRecord& m : db.records) {
            if (!db.findMap(m.name)) __builtin_trap();
            if (m.mode == 3 && (m.startKinds.size() != m.startEntries.size() ||
                                m.stopKinds.size() != m.stopEntries.size()))
                __builtin_trap();
        }
        const char list[] = "header\nkz_a 01:00.00 x\nfz0[pro] 02:00.00 y\n";
        mergeRunsList(db, std::span(reinterpret_cast<const uint8_t*>(list), sizeof list - 1));
    }
}

void runsList(const uint8_t* data, size_t size) {
    RecordsDatabase db = fuzzDatabase(3);
    mergeRunsList(db, std::span(data, size));
    for (const MapRecord& m : db.records)
        for (const std::string& run : m.runs)
            if (run.size() > 259) __builtin_trap();
}

void steamId(const uint8_t* data, size_t size) {
    SteamIdRecord record;
    std::memcpy(record.digits.data(), data, std::min(size, record.digits.size()));
    if (convertSteamId(record)) {
        if (!record.valid || record.parity > 1) __builtin_trap();
        (void)profileAddress(record);
    } else if (record.valid) {
        __builtin_trap();
    }
}

void archiveListing(const uint8_t* data, size_t size) {
    using namespace platform;
    // Only a safe, bounded ".dem" name comes out, never one an archiver could take for a switch or a list.
    for (Archiver kind : {Archiver::rar, Archiver::sevenZip, Archiver::tar}) {
        const auto entry = firstDemoEntry(kind, std::span(data, size), kind == Archiver::rar ? oemToWide : utf8ToWide);
        if (entry && (entry->size() > kMaxEntryLength || !isSafeEntryName(*entry) || !entry->ends_with(L".dem") ||
                      entry->front() == L'-' || entry->front() == L'@' || entryFileName(*entry).empty()))
            __builtin_trap();
    }
}

}  // namespace

std::vector<Target> targets() {
    return {{"demo_walk", &demoWalk}, {"recdata", &recordsData}, {"runs_list", &runsList}, {"steam_id", &steamId},
            {"archive_listing", &archiveListing}};
}

}  // namespace rw::fuzz
