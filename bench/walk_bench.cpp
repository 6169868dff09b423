// Times the check of a big demo from outside, as a user sees it, and inside,
// for the breakdown.
//
//   walk_bench [--size MIB] [--file PATH] [--runs N] [--detector on|off] [--check PROGRAM]
//
// Generates (or reuses) a demo of a mode-0 map whose type-1 frames carry
// 200-1500-byte message blocks, so the button detector scans every frame.
// In-process: the walk, with the file mapped and copied, and with the run
// graph gathered and drawn as --graph does, against a plain read of the file, each pinned to one core and on all, from the page cache and
// from the disk. With --check: the whole program
// against `cat` and `/bin/true`, on one core and on all, with ratios and the
// program's peak memory. Every figure is the median of N runs (default 11).
// "--detector off" walks without records, so nothing is scanned.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/demo_format.h"
#include "analysis/demo_walk.h"
#include "analysis/run_graph.h"
#include "platform/async_file.h"
#include "base/check_result.h"
#include "records/records_database.h"

namespace {

using namespace rw::demo;
using Clock = std::chrono::steady_clock;

void putU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<uint8_t>(v >> (8 * k));
}
void putF32(std::vector<uint8_t>& out, size_t at, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    putU32(out, at, v);
}

// Writes the benchmark demo frame by frame without holding it in memory.
void writeDemo(const std::filesystem::path& path, uint64_t targetBytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint8_t> header(kFirstFrame, 0);
    std::memcpy(header.data(), kMagic.data(), kMagic.size());
    putU32(header, kProtocolOffset, 48);
    std::memcpy(header.data() + kMapNameOffset, "kz_bench", 8);
    out.write(reinterpret_cast<const char*>(header.data()), kFirstFrame);
    uint64_t written = kFirstFrame;

    std::vector<uint8_t> marker(kStartMarkerSize, 0);
    marker[0] = kStartMarker;
    out.write(reinterpret_cast<const char*>(marker.data()), kStartMarkerSize);
    written += kStartMarkerSize;

    std::mt19937 rng(12345);
    std::uniform_int_distribution<uint32_t> len(200, 1500);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> frame;
    // A buffer frame after each network frame, for the LAN test.
    std::vector<uint8_t> lan(kBufferLengthOffset + 4 + 8, 0);
    lan[0] = kDemoBuffer;
    putU32(lan, kBufferLengthOffset, 8);
    float t = 1.0f;
    while (written < targetBytes) {
        const uint32_t l = len(rng);
        frame.assign(kMessagesOffset + l, 0);
        frame[0] = kNetworkFrame;
        putF32(frame, kTimeOffset, t);
        frame[kCommandMsecOffset] = 10;
        putF32(frame, kGravityOffset, 800.0f);
        putF32(frame, kMaxSpeedOffset, 320.0f);
        putF32(frame, kAirAccelerationOffset, 10.0f);
        putF32(frame, kEdgeFrictionOffset, 2.0f);
        putF32(frame, kStepSizeOffset, 18.0f);
        putF32(frame, kMaxVelocityOffset, 2000.0f);
        putU32(frame, kFootstepsOffset, 1);
        putU32(frame, kMessageLengthOffset, l);
        // Random message bytes with two sound-message openings per frame (more
        // than a real frame carries), none of them a button.
        for (uint32_t k = 0; k < l; ++k) frame[kMessagesOffset + k] = static_cast<uint8_t>(byte(rng));
        for (uint32_t k : {l / 3, 2 * l / 3}) {
            frame[kMessagesOffset + k] = 6;
            frame[kMessagesOffset + k + 1] = 6;
        }
        out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
        written += frame.size();
        out.write(reinterpret_cast<const char*>(lan.data()), static_cast<std::streamsize>(lan.size()));
        written += lan.size();
        t += 0.01f;
    }
    out.write(reinterpret_cast<const char*>(marker.data()), kStartMarkerSize);
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double median(std::vector<double> xs) {
    std::sort(xs.begin(), xs.end());
    return xs[xs.size() / 2];
}

// Drops the file's pages from the page cache (no privileges needed), so the
// next pass reads the disk.
void evict(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double plainRead(const std::filesystem::path& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<uint8_t> buf(128 << 10);
    uint64_t sum = 0;
    for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) sum += buf[static_cast<size_t>(n) - 1];
    ::close(fd);
    if (sum == 42) std::puts("");  // keep the loop
    return seconds(start);
}

// Restricts this thread (and the threads it starts) to the first `cores` CPUs
// it may use.
void pin(unsigned cores) {
    static cpu_set_t all = [] {
        cpu_set_t s;
        sched_getaffinity(0, sizeof s, &s);
        return s;
    }();
    cpu_set_t use;
    CPU_ZERO(&use);
    for (unsigned c = 0, n = 0; c < CPU_SETSIZE && n < cores; ++c) {
        if (CPU_ISSET(c, &all)) {
            CPU_SET(c, &use);
            ++n;
        }
    }
    sched_setaffinity(0, sizeof use, &use);
}

unsigned allCores() {
    cpu_set_t s;
    sched_getaffinity(0, sizeof s, &s);
    return static_cast<unsigned>(CPU_COUNT(&s));
}

struct Run {
    double seconds;
    long peakKiB;
};

// Runs the program to its end with its output discarded, on `cores` CPUs.
Run timeProcess(const std::vector<std::string>& argv, unsigned cores) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        pin(cores);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {seconds(start), usage.ru_maxrss};
}

// The programs of a group run in turn, run after run, the order reversed
// every other run, so that a machine that speeds up or slows down meanwhile
// moves them alike. Per program: the median time, the median of its ratios to
// the group's first program within each turn, and its peak memory.
struct Timed {
    double seconds;
    double ratio;
    long peakKiB;
};

std::vector<Timed> interleaved(const std::vector<std::vector<std::string>>& group, unsigned cores, int runs) {
    const size_t n = group.size();
    std::vector<std::vector<double>> times(n), ratios(n);
    std::vector<Timed> out(n, Timed{0, 0, 0});
    for (int r = 0; r < runs; ++r) {
        std::vector<double> turn(n);
        for (size_t k = 0; k < n; ++k) {
            const size_t i = r % 2 ? n - 1 - k : k;
            const Run one = timeProcess(group[i], cores);
            turn[i] = one.seconds;
            out[i].peakKiB = std::max(out[i].peakKiB, one.peakKiB);
        }
        for (size_t i = 0; i < n; ++i) {
            times[i].push_back(turn[i]);
            ratios[i].push_back(turn[i] / turn[0]);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        out[i].seconds = median(times[i]);
        out[i].ratio = median(ratios[i]);
    }
    return out;
}

rw::RecordsDatabase benchRecords() {
    rw::RecordsDatabase db;
    rw::MapRecord map;
    map.name = "kz_bench";
    map.mode = 0;
    map.startEntries = {{0xDE, 0xAD, 0xBE, 0xEF, 0x01}, {0x2A, 0x0B, 0x53}};
    map.stopEntries = {{0xFE, 0xED}};
    db.records.push_back(map);
    db.state = rw::RecordsState::loaded;
    return db;
}

// The in-process table: the walk and a plain read, pinned to one core and on all,
// from the page cache and (cold) from the disk.
void inProcess(const std::filesystem::path& file, const rw::RecordsDatabase* records, int runs) {
    const double mib = static_cast<double>(std::filesystem::file_size(file)) / (1 << 20);
    struct Way {
        const char* name;
        bool walk;
        rw::platform::FileAccess access;
        bool graph;  // the run graph's series gathered and its SVG drawn, as --graph does
    } ways[] = {{"plain read", false, rw::platform::FileAccess::copy, false},
                {"walk, file mapped", true, rw::platform::FileAccess::map, false},
                {"walk, file copied", true, rw::platform::FileAccess::copy, false},
                {"walk, mapped, run graph", true, rw::platform::FileAccess::map, true}};
    std::printf("in-process, %.0f MiB, median of %d (ms; ratio to the plain read)\n", mib, runs);
    std::printf("%-28s %18s %18s %18s %18s\n", "", "cached, 1 core", "cached, all", "disk, 1 core", "disk, all");
    double read[4] = {};
    for (const Way& way : ways) {
        std::printf("%-28s", way.name);
        int column = 0;
        for (bool cold : {false, true}) {
            for (unsigned cores : {1u, allCores()}) {
                pin(cores);
                std::vector<double> times;
                int32_t status = 0;
                for (int r = 0; r < runs; ++r) {
                    if (cold) {
                        evict(file);
                    } else {
                        plainRead(file);
                    }
                    if (!way.walk) {
                        times.push_back(plainRead(file));
                        continue;
                    }
                    rw::CheckResult result;
                    const auto start = Clock::now();
                    const auto series = way.graph ? std::make_unique<rw::RunSeries>() : nullptr;
                    rw::checkDemo(rw::platform::openAsyncFile(file, way.access), nullptr, records, result,
                                  series.get());
                    if (series) rw::runGraphSvg(rw::makeReport({}, result, result.status(), nullptr), *series);
                    times.push_back(seconds(start));
                    status = result.status();
                }
                const double t = median(times);
                if (!way.walk) read[column] = t;
                std::printf("   %7.1f (%5.2fx)", t * 1e3, t / read[column]);
                if (way.walk && status != rw::status::finished) std::printf(" status %d", status);
                ++column;
            }
        }
        std::printf("\n");
    }
    pin(allCores());
}

void wholeProcess(const std::string& check, const std::filesystem::path& file, const std::string& sample, int runs) {
    const unsigned cores[2] = {1, allCores()};
    std::printf("\nwhole process, median of %d, each group run in turn (ms; median ratio to the group's first)\n", runs);
    std::printf("%-44s %18s %18s\n", "", "1 core", std::to_string(cores[1]).append(" cores").c_str());
    const std::vector<std::vector<std::string>> groups[] = {
        {{"/bin/cat", file.string()}, {check, "--json", file.string()}},
        {{"/bin/true"}, {check, "--json", sample}, {check, "--version"}}};
    const char* names[][3] = {{"cat DEMO", "runwarden-check --json DEMO"},
                              {"/bin/true", "runwarden-check --json sample.dem", "runwarden-check --version"}};
    timeProcess(groups[0][0], cores[1]);  // the demo into the page cache
    long peak = 0;
    for (size_t g = 0; g < 2; ++g) {
        std::vector<Timed> columns[2];
        for (int c = 0; c < 2; ++c) columns[c] = interleaved(groups[g], cores[c], runs);
        for (size_t i = 0; i < groups[g].size(); ++i) {
            std::printf("%-44s", names[g][i]);
            for (const auto& column : columns) {
                if (i == 0) {
                    std::printf("   %7.2f         ", column[i].seconds * 1e3);
                } else {
                    std::printf("   %7.2f (%5.2fx)", column[i].seconds * 1e3, column[i].ratio);
                }
            }
            std::printf("\n");
        }
        if (g == 0) peak = std::max(columns[0][1].peakKiB, columns[1][1].peakKiB);
    }
    std::printf("peak memory, runwarden-check --json DEMO: %ld KiB\n", peak);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = 256;
    int runs = 11;
    bool detector = true;
    std::string check;
    std::filesystem::path file = std::filesystem::temp_directory_path() / "runwarden-walk-bench.dem";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--size") mib = std::stoull(argv[i + 1]);
        if (a == "--file") file = argv[i + 1];
        if (a == "--runs") runs = std::max(1, std::stoi(argv[i + 1]));
        if (a == "--detector") detector = std::string(argv[i + 1]) != "off";
        if (a == "--check") check = argv[i + 1];
    }
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) < mib << 20 || ec) {
        std::printf("writing %llu MiB demo to %s\n", static_cast<unsigned long long>(mib), file.c_str());
        writeDemo(file, mib << 20);
    }
    const rw::RecordsDatabase db = benchRecords();
    inProcess(file, detector ? &db : nullptr, runs);
    if (!check.empty()) {
        const std::filesystem::path sample = std::filesystem::path(RW_SOURCE_DIR) / "examples" / "sample.dem";
        wholeProcess(std::filesystem::absolute(check).string(), file, sample.string(), runs);
    }
    return 0;
}
