// runwarden-check: checks recorded climbing runs from the command line.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch_check.h"
#include "cli/check_options.h"
#include "cli/check_report.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "records/records_database.h"
#include "records/records_file.h"
#include "records/runs_list.h"
#include "rw_config.h"

namespace {

using rw::cli::pathFromUtf8;

int usageError(const std::string& message) {
    std::fprintf(stderr, "runwarden-check: %s\nTry 'runwarden-check --help'.\n", message.c_str());
    return 2;
}

// Loads the records file and merges the runs list. Explicitly named files must
// be usable; a default RecData.dat that is damaged is only warned about.
int loadRecords(const rw::cli::CheckOptions& o, rw::RecordsDatabase& db, bool& haveRecords) {
    const bool named = !o.recordsPath.empty();
    const std::string path = named ? o.recordsPath : "RecData.dat";
    db.fileName = pathFromUtf8(path);
    haveRecords = false;
    if (named || rw::platform::fileExists(db.fileName)) {
        const rw::LocalRecordsStatus st = rw::loadLocalRecords(db, db.fileName);
        if (st != rw::LocalRecordsStatus::Loaded) {
            const std::string why = st == rw::LocalRecordsStatus::Missing    ? "cannot be read"
                                    : st == rw::LocalRecordsStatus::TooLarge ? "is larger than 1 MiB"
                                                                             : "fails its checksum or format check";
            if (named) return usageError("records file " + path + " " + why);
            std::fprintf(stderr, "runwarden-check: warning: %s %s; checking without records\n", path.c_str(),
                         why.c_str());
        } else {
            haveRecords = true;
        }
    }
    if (!o.runsPath.empty()) {
        auto bytes = rw::platform::readFileBounded(pathFromUtf8(o.runsPath), 0, 64ull << 20);
        if (!bytes) return usageError("runs list " + o.runsPath + " cannot be read");
        if (haveRecords) rw::mergeRunsList(db, *bytes);
    }
    return 0;
}

int run(const std::vector<std::string>& args) {
    const rw::cli::ParsedOptions parsed = rw::cli::parseCheckOptions(args);
    if (!parsed.error.empty()) return usageError(parsed.error);
    const rw::cli::CheckOptions& o = parsed.options;
    if (o.help) {
        std::fputs(rw::cli::checkUsage().c_str(), stdout);
        return 0;
    }
    if (o.version) {
        std::printf("runwarden-check %u\n", RW_PROGRAM_VERSION);
        return 0;
    }

    rw::RecordsDatabase db;
    bool haveRecords = false;
    if (int rc = loadRecords(o, db, haveRecords)) return rc;

    std::vector<std::string> errors;
    const std::vector<rw::cli::DemoInput> demos = rw::cli::expandDemoArguments(o.demos, o.recursive, errors);
    for (const std::string& e : errors) std::fprintf(stderr, "runwarden-check: %s\n", e.c_str());

    unsigned jobs = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
    const bool progress = rw::platform::isTerminal(stderr);
    bool first = true;
    const rw::cli::BatchSummary summary =
        rw::cli::runBatch(demos, haveRecords ? &db : nullptr, jobs, progress, [&](const rw::cli::CheckReport& r) {
            if (o.json) {
                std::printf("%s\n", rw::cli::toJsonLine(r).c_str());
            } else {
                std::printf("%s%s", first ? "" : "\n", rw::cli::toText(r).c_str());
            }
            first = false;
            std::fflush(stdout);
        });
    if (demos.size() > 1 || !errors.empty()) {
        std::fprintf(stderr, "%zu checked, %zu finished, %zu rejected\n", summary.checked, summary.finished,
                     summary.rejected);
    }
    if (!errors.empty()) return 1;
    return summary.finished == summary.checked ? 0 : 1;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(rw::platform::wideToUtf8(argv[i]));
    return run(args);
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
