// Times the demo walk against a plain sequential read of the same file.
//
//   walk_bench [--size MIB] [--file PATH] [--repeat N] [--detector on|off] [--graph on|off|compare]
//
// Generates (or reuses) a demo of a mode-0 map whose type-1 frames carry
// 200-1500-byte message blocks, so the button detector scans every frame, then
// reports both throughputs and their ratio. Run it from a Release build.
// "--detector off" walks without records, so nothing is scanned. "--graph on"
// also gathers the run's series on the walk and draws its SVG, as
// runwarden-check --graph does; "--graph compare" times walks without and
// with it in turns and prints their ratio.
#include <sys/resource.h>

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

double plainRead(const std::filesystem::path& path) {
    const auto start = Clock::now();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<char> buf(1 << 20);
    uint64_t sum = 0;
    while (size_t n = std::fread(buf.data(), 1, buf.size(), f)) sum += static_cast<uint8_t>(buf[n - 1]);
    std::fclose(f);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    if (sum == 42) std::puts("");  // keep the loop
    return s;
}

long peakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = 256;
    int repeat = 3;
    bool detector = true;
    std::string graph = "off";
    std::filesystem::path file = std::filesystem::temp_directory_path() / "runwarden-walk-bench.dem";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--size") mib = std::stoull(argv[i + 1]);
        if (a == "--file") file = argv[i + 1];
        if (a == "--repeat") repeat = std::max(1, std::stoi(argv[i + 1]));
        if (a == "--detector") detector = std::string(argv[i + 1]) != "off";
        if (a == "--graph") graph = argv[i + 1];
    }
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) < mib << 20 || ec) {
        std::printf("writing %llu MiB demo to %s\n", static_cast<unsigned long long>(mib), file.c_str());
        writeDemo(file, mib << 20);
    }
    const double bytes = static_cast<double>(std::filesystem::file_size(file));

    rw::RecordsDatabase db;
    rw::MapRecord map;
    map.name = "kz_bench";
    map.mode = 0;
    map.startEntries = {{0xDE, 0xAD, 0xBE, 0xEF, 0x01}, {0x2A, 0x0B, 0x53}};
    map.stopEntries = {{0xFE, 0xED}};
    db.records.push_back(map);
    db.state = rw::RecordsState::loaded;

    plainRead(file);  // page cache
    const long rssBefore = peakRssKiB();
    double bestRead = 1e9, bestWalk = 1e9, bestGraphWalk = 1e9;
    int32_t status = 0;
    size_t svgBytes = 0;
    auto timedWalk = [&](bool drawn) {
        rw::CheckResult result;
        const auto start = Clock::now();
        const auto series = drawn ? std::make_unique<rw::RunSeries>() : nullptr;
        rw::checkDemoFile(file, false, detector ? &db : nullptr, result, series.get());
        if (series) svgBytes = rw::runGraphSvg(rw::makeReport({}, result, result.status(), nullptr), *series).size();
        status = result.status();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    for (int r = 0; r < repeat; ++r) {
        bestRead = std::min(bestRead, plainRead(file));
        if (graph == "compare") {
            // In turns, so that a busy machine weighs on both alike.
            const bool first = r % 2 == 0;
            const double a = timedWalk(first), b = timedWalk(!first);
            bestGraphWalk = std::min(bestGraphWalk, first ? a : b);
            bestWalk = std::min(bestWalk, first ? b : a);
        } else {
            bestWalk = std::min(bestWalk, timedWalk(graph == "on"));
        }
    }
    const double mb = bytes / (1 << 20);
    std::printf("demo            %.0f MiB, walk status %d\n", mb, status);
    if (graph != "off") std::printf("graph           %zu bytes of SVG\n", svgBytes);
    std::printf("plain read      %8.1f MiB/s  (%.3f s)\n", mb / bestRead, bestRead);
    std::printf("walk            %8.1f MiB/s  (%.3f s)\n", mb / bestWalk, bestWalk);
    if (graph == "compare") {
        std::printf("walk with graph %8.1f MiB/s  (%.3f s)\n", mb / bestGraphWalk, bestGraphWalk);
        std::printf("graph/walk      %8.2f\n", bestGraphWalk / bestWalk);
    }
    std::printf("walk/read ratio %8.2f\n", bestWalk / bestRead);
    std::printf("peak RSS        %ld KiB (before the walks: %ld KiB)\n", peakRssKiB(), rssBefore);
    return 0;
}
