#include "cli/batch_check.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>

#include "analysis/archive_check.h"
#include "analysis/demo_walk.h"
#include "analysis/run_graph.h"
#include "platform/archive.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace rw::cli {
namespace {

constexpr uint64_t kProgressThreshold = 64ull << 20;

bool isArchiveName(const std::filesystem::path& p) {
    return platform::isArchiveName(platform::utf8ToWide(pathToUtf8(p.filename())));
}

std::string lowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return s;
}

bool isDemoName(const std::filesystem::path& p) { return lowerAscii(pathToUtf8(p.extension())) == ".dem"; }

std::mutex gProgressLock;

struct Progress {
    CheckResult* result = nullptr;
    std::string name;
    int shown = 0;
};

void showProgress(void* context) {
    auto* p = static_cast<Progress*>(context);
    const int32_t code = p->result->status();
    if (code < 1 || code > 99 || code == p->shown) return;
    p->shown = code;
    std::lock_guard lock(gProgressLock);
    std::fprintf(stderr, "\r%s: %d%%", p->name.c_str(), code);
    std::fflush(stderr);
}

// Checks one demo file; `entry` names it inside the archive `shown`, if any.
// Its run graph is drawn when `graph` is set and the run was judged.
CheckReport checkFile(const std::string& shown, const std::filesystem::path& file, const std::string& entry,
                      const RecordsDatabase* records, bool progress, bool graph) {
    auto result = std::make_unique<CheckResult>();
    Progress state;
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    const bool show = progress && !ec && size > kProgressThreshold;
    if (show) {
        state.result = result.get();
        state.name = entry.empty() ? shown : shown + ": " + entry;
        result->repaint = {&showProgress, &state};
    }
    const std::string named = entry.empty() ? pathToUtf8(file) : entry;
    result->demoName.assign(demoNameFromPath(platform::utf8ToWide(named)));
    const auto series = graph ? std::make_unique<RunSeries>() : nullptr;
    checkDemoFile(file, false, records, *result, series.get());  // an entry that could not be taken out has no file
    if (show && state.shown) {
        std::lock_guard lock(gProgressLock);
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(state.name.size() + 6), "");
        std::fflush(stderr);
    }
    CheckReport report = makeReport(shown, *result, result->status(), records);
    report.entry = entry;
    if (series && report.status == status::finished) report.graphSvg = runGraphSvg(report, *series);
    return report;
}

// One report for each demo inside, in archive order; one alone when it holds
// none or cannot be read.
std::vector<CheckReport> checkArchive(const DemoInput& archive, const RecordsDatabase* records, bool progress) {
    std::vector<CheckReport> reports;
    const platform::ArchiveOutcome outcome =
        platform::visitArchiveDemos(archive.path, [&](const platform::ArchiveDemo& demo) {
            reports.push_back(checkFile(archive.shown, demo.file, demo.entry, records, progress, archive.graph));
        });
    if (outcome == platform::ArchiveOutcome::read) return reports;
    CheckResult result;
    const std::wstring path = platform::utf8ToWide(pathToUtf8(archive.path));
    result.demoName.assign(archiveNameFromPath(path));
    reportArchiveWithoutDemo(outcome, result);
    return {makeReport(archive.shown, result, result.status(), records)};
}

std::vector<CheckReport> checkOne(const DemoInput& demo, const RecordsDatabase* records, bool progress) {
    if (isArchiveName(demo.path)) return checkArchive(demo, records, progress);
    return {checkFile(demo.shown, demo.path, {}, records, progress, demo.graph)};
}

}  // namespace

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::vector<DemoInput> expandDemoArguments(const std::vector<std::string>& args, bool recursive,
                                           std::vector<std::string>& errors) {
    std::vector<DemoInput> out;
    for (const std::string& arg : args) {
        const std::filesystem::path p = pathFromUtf8(arg);
        std::error_code ec;
        if (!std::filesystem::is_directory(p, ec)) {
            out.push_back({arg, p});
            continue;
        }
        std::vector<std::filesystem::path> found;
        auto collect = [&](auto it) {
            for (const auto end = decltype(it)(); it != end; it.increment(ec)) {
                if (ec) break;
                std::error_code fe;
                const bool wanted = isDemoName(it->path()) || isArchiveName(it->path());
                if (wanted && it->is_regular_file(fe)) found.push_back(it->path());
            }
        };
        if (recursive) {
            collect(std::filesystem::recursive_directory_iterator(
                p, std::filesystem::directory_options::skip_permission_denied, ec));
        } else {
            collect(std::filesystem::directory_iterator(p, ec));
        }
        if (ec) errors.push_back(arg + ": " + ec.message());
        std::sort(found.begin(), found.end());
        for (const auto& f : found) out.push_back({pathToUtf8(f), f});
    }
    return out;
}

bool makeGraphTarget(const std::vector<DemoInput>& demos, const std::vector<std::string>& args,
                     const std::string& graphPath, GraphTarget& target, std::string& error) {
    target.path = pathFromUtf8(graphPath);
    std::error_code ec;
    target.folder = graphPath.back() == '/' || graphPath.back() == '\\' ||
                    std::filesystem::is_directory(target.path, ec) || demos.size() > 1;
    for (const DemoInput& d : demos) target.folder = target.folder || isArchiveName(d.path);
    for (const std::string& arg : args) target.folder = target.folder || std::filesystem::is_directory(pathFromUtf8(arg), ec);
    if (!target.folder) return true;
    std::filesystem::create_directories(target.path, ec);
    if (std::filesystem::is_directory(target.path, ec)) return true;
    error = "cannot make the graph folder " + graphPath;
    return false;
}

void writeGraph(GraphTarget& target, CheckReport& report) {
    report.graph.emplace();
    if (report.graphSvg.empty()) return;
    std::filesystem::path file = target.path;
    if (target.folder) {
        // The demo's name, made safe for a file name on every system.
        std::string stem = report.demo;
        for (char& c : stem) {
            if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = '_';
        }
        std::string name = stem + ".svg";
        for (unsigned n = 2; !target.taken.insert(lowerAscii(name)).second; ++n) name = stem + "-" + std::to_string(n) + ".svg";
        file /= pathFromUtf8(name);
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(report.graphSvg.data());
    if (platform::writeFileSafely(file, {bytes, report.graphSvg.size()})) {
        report.graph = pathToUtf8(file);
    } else {
        std::fprintf(stderr, "runwarden-check: cannot write %s\n", pathToUtf8(file).c_str());
    }
    report.graphSvg.clear();
}

std::thread startStdThread(std::function<void()> work) { return std::thread(std::move(work)); }

BatchSummary runBatch(const std::vector<DemoInput>& demos, const RecordsDatabase* records, unsigned jobs,
                      bool progress, const std::function<void(const CheckReport&)>& emit,
                      const StartThread& startThread) {
    BatchSummary summary;
    if (demos.empty()) return summary;
    jobs = std::clamp<unsigned>(jobs, 1, static_cast<unsigned>(demos.size()));

    std::vector<std::optional<std::vector<CheckReport>>> reports(demos.size());
    std::mutex lock;
    std::condition_variable ready;
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < demos.size(); i = next++) {
            std::vector<CheckReport> r;
            // A failure ends this demo's check, never the worker or the batch.
            try {
                r = checkOne(demos[i], records, progress);
            } catch (const std::exception& e) {
                r = {CheckReport{demos[i].shown, -1, std::string("the check failed: ") + e.what()}};
            }
            {
                std::lock_guard guard(lock);
                reports[i] = std::move(r);
            }
            ready.notify_one();
        }
    };
    // Joined on every way out: a std::thread destroyed while joinable ends the process.
    struct Threads {
        std::vector<std::thread> started;
        ~Threads() {
            for (std::thread& t : started) {
                if (t.joinable()) t.join();
            }
        }
    } threads;
    if (jobs > 1) {
        threads.started.reserve(jobs);  // so that no push_back below can throw
        for (unsigned t = 0; t < jobs; ++t) {
            try {
                threads.started.push_back(startThread(worker));
            } catch (const std::system_error&) {
                break;  // the jobs that did start take the rest
            }
        }
    }
    if (threads.started.empty()) worker();

    for (size_t i = 0; i < demos.size(); ++i) {
        std::vector<CheckReport> done;
        {
            std::unique_lock guard(lock);
            ready.wait(guard, [&] { return reports[i].has_value(); });
            done = std::move(*reports[i]);
            reports[i].reset();
        }
        for (const CheckReport& r : done) {
            ++summary.checked;
            if (r.status == status::finished) {
                ++summary.finished;
            } else {
                ++summary.rejected;
            }
            emit(r);
        }
    }
    return summary;
}

}  // namespace rw::cli
