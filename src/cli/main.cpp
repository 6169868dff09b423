// runwarden-check: checks recorded climbing runs from the command line.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/utf8_main.h"
#include "cli/batch_check.h"
#include "cli/check_options.h"
#include "cli/json_report.h"
#include "platform/file_system.h"
#include "platform/processors.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "records/records_database.h"
#include "records/records_file.h"
#include "update/records_refresh.h"
#include "update/release_signature.h"
#include "records/runs_list.h"
#include "rw_config.h"

namespace {

using rw::cli::pathFromUtf8;

int usageError(const std::string& message) {
    std::fprintf(stderr, "runwarden-check: %s\nTry 'runwarden-check --help'.\n", message.c_str());
    return 2;
}

// Loads the records file and merges the runs list, and answers whether there
// are records to check with. Explicitly named files must be usable (a usage
// failure otherwise); a default RecData.dat that is not is only warned about.
rw::Result<bool> loadRecords(const rw::cli::CheckOptions& o, rw::RecordsDatabase& db) {
    const bool named = !o.recordsPath.empty();
    const std::string path = named ? o.recordsPath : "RecData.dat";
    db.fileName = pathFromUtf8(path);
    bool haveRecords = false;
    if (named || rw::platform::fileExists(db.fileName)) {
        rw::Result<rw::RecordsImage> image = rw::acceptRecordsFile(db.fileName);
        if (!image) {
            if (named) return rw::Failure{rw::FailureKind::usage, "records file " + path + ": " + image.text()};
            std::fprintf(stderr, "runwarden-check: warning: %s: %s; checking without records\n", path.c_str(),
                         image.text().c_str());
        } else {
            db.decodeRecords(std::move(*image));
            haveRecords = true;
        }
    }
    if (!o.runsPath.empty()) {
        auto bytes = rw::platform::readFileBounded(pathFromUtf8(o.runsPath), 0, 64ull << 20);
        if (!bytes) return rw::Failure{rw::FailureKind::usage, "runs list " + o.runsPath + ": " + bytes.text()};
        if (haveRecords) rw::mergeRunsList(db, *bytes);
    }
    return haveRecords;
}

// Brings the records file up to date from the servers, as the Windows program
// does at start-up, and keeps the fetched records list beside it. Answers
// whether the records are usable; failed is set when the servers could not
// give a verified copy.
bool refreshLocalRecords(const rw::cli::CheckOptions& o, rw::RecordsDatabase& db, bool& failed) {
    db.fileName = pathFromUtf8(o.recordsPath.empty() ? "RecData.dat" : o.recordsPath);
    rw::RecordsSources sources = rw::defaultRecordsSources();
    if (!o.updateServer.empty()) sources.recordsUrl = o.updateServer + "/intern/Runwarden/RecData.dat";
    if (!o.listServer.empty()) sources.runsListUrl = o.listServer + "/demos_tcl.txt";
    std::optional<std::vector<uint8_t>> list;
    const rw::RefreshOutcome outcome = rw::refreshRecords(db, sources, &list);
    failed = db.state != rw::RecordsState::loaded || outcome.kind == rw::RefreshKind::ConnectionFailed ||
             outcome.kind == rw::RefreshKind::SignatureFailed || outcome.kind == rw::RefreshKind::ChecksumFailed;
    if (outcome.message) {
        const std::string text = rw::platform::wideToUtf8(*outcome.message);
        std::fprintf(stderr, "runwarden-check: %s\n", text.c_str());
    }
    if (list) {
        const std::filesystem::path runs =
            o.runsPath.empty() ? db.fileName.parent_path() / "demos_tcl.txt" : pathFromUtf8(o.runsPath);
        if (!rw::platform::writeFileSafely(runs, *list)) {
            std::fprintf(stderr, "runwarden-check: cannot write %s\n", rw::cli::pathToUtf8(runs).c_str());
            failed = true;
        }
    } else {
        std::fprintf(stderr, "runwarden-check: the records list could not be fetched\n");
    }
    return db.state == rw::RecordsState::loaded;
}

int run(const std::vector<std::string>& args) {
    const rw::Result<rw::cli::CheckOptions> parsed = rw::cli::parseCheckOptions(args);
    if (!parsed) return usageError(parsed.text());
    const rw::cli::CheckOptions& o = *parsed;
    if (o.help) {
        std::fputs(rw::cli::checkUsage().c_str(), stdout);
        return 0;
    }
    if (o.version) {
        const std::string_view trust = rw::updateTrustText(rw::buildUpdateTrust());
        std::printf("runwarden-check %u, %.*s\n", RW_PROGRAM_VERSION, static_cast<int>(trust.size()), trust.data());
        return 0;
    }

    rw::RecordsDatabase db;
    bool haveRecords = false;
    bool refreshFailed = false;
    if (o.refresh) {
        haveRecords = refreshLocalRecords(o, db, refreshFailed);
        if (o.demos.empty()) return refreshFailed ? 1 : 0;
    } else {
        const rw::Result<bool> loaded = loadRecords(o, db);
        if (!loaded) return usageError(loaded.text());
        haveRecords = *loaded;
    }

    std::vector<std::string> errors;
    std::vector<rw::cli::DemoInput> demos = rw::cli::expandDemoArguments(o.demos, o.recursive, errors);
    for (const std::string& e : errors) std::fprintf(stderr, "runwarden-check: %s\n", e.c_str());
    rw::cli::GraphTarget graphs;
    if (!o.graphPath.empty() && !demos.empty()) {
        std::string why;
        if (!rw::cli::makeGraphTarget(demos, o.demos, o.graphPath, graphs, why)) {
            std::fprintf(stderr, "runwarden-check: %s\n", why.c_str());
            return 1;
        }
        for (rw::cli::DemoInput& d : demos) d.graph = true;
    }

    const unsigned jobs = o.jobs ? o.jobs : rw::platform::usableProcessors();
    const bool progress = rw::platform::isTerminal(stderr);
    bool first = true;
    bool graphFailed = false;
    const rw::cli::BatchSummary summary =
        rw::cli::runBatch(demos, haveRecords ? &db : nullptr, jobs, progress, [&](const rw::CheckReport& done) {
            rw::CheckReport r = done;
            if (!o.graphPath.empty()) {
                rw::cli::writeGraph(graphs, r);  // here, in report order, so the names come out the same every time
                graphFailed = graphFailed || (r.status == rw::status::finished && r.graph->empty());
            }
            if (o.json) {
                std::printf("%s\n", rw::cli::toJsonLine(r).c_str());
            } else {
                std::printf("%s%s", first ? "" : "\n", rw::toText(r).c_str());
            }
            first = false;
            std::fflush(stdout);
        });
    if (summary.checked > 1 || !errors.empty()) {  // an archive may hold several demos
        std::fprintf(stderr, "%zu checked, %zu finished, %zu rejected\n", summary.checked, summary.finished,
                     summary.rejected);
    }
    if (!errors.empty() || graphFailed) return 1;
    return summary.finished == summary.checked ? 0 : 1;
}

}  // namespace

int utf8Main(const std::vector<std::string>& args) { return run(args); }
