// Writes the seed corpora of the fuzz targets with the test builders:
// fuzz_seeds OUT_DIR makes OUT_DIR/<target>/seed-N files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo_builder.h"
#include "recdata.h"

namespace {

using rw::test::Bytes;
using rw::test::ClientState;
using rw::test::DemoBuilder;
namespace msg = rw::test::msg;

void save(const std::filesystem::path& dir, const std::vector<Bytes>& seeds) {
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const Bytes& s : seeds) {
        std::ofstream out(dir / ("seed-" + std::to_string(n++)), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
    }
}

// A complete timed run on each of the fuzz maps; the fuzzer damages them.
std::vector<Bytes> demoSeeds() {
    std::vector<Bytes> seeds;
    const Bytes start = {0xAA, 0xBB}, stop = {0xCC};
    for (int mode = 0; mode < 4; ++mode) {
        DemoBuilder d("fz" + std::to_string(mode));
        d.startupFrame(msg::userInfo("Fuzz Player", "76561198000000001"));
        d.startupFrame(msg::soundResources(300, 301));
        d.startMarker();
        ClientState s;
        s.origin = {16.0f, 32.0f, 48.0f};
        for (int k = 0; k < 3; ++k) {
            if (mode != 0) d.consoleCommand("+use");
            s.time += 1.0f;
            const Bytes block = mode == 2   ? msg::buttonPattern67(k == 0 ? start : stop)
                                : mode == 3 ? msg::concat({msg::buttonSoundFor(300), msg::buttonPattern66(start)})
                                            : msg::buttonPattern66(k == 0 ? start : stop);
            d.networkFrame(s, block);
            d.demoBuffer();
        }
        d.soundFrame(4).fixedFrame(4).fixedFrame(5).fixedFrame(6).fixedFrame(7).startMarker();
        seeds.push_back(d.bytes());
    }
    return seeds;
}

std::vector<Bytes> recordsSeeds() {
    const Bytes b = rw::test::recData(
        "map kz_b\nmode 0\nstart pattern 010203\nstop pattern 04\nmap \"KZ_A\\x00\\x00\"\nmode 2\nstart pattern 09\n"
        "stop pattern 0807\nmap kz_cave\nmode 3\nstart position 100 200 -50\nstart pattern 010203\n"
        "stop position 1 2 3 kind 5\n");
    return {b, rw::test::recData(""), Bytes(b.begin() + 12, b.end())};
}

Bytes b(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::vector<Bytes> runsSeeds() {
    return {b("header line\r\nfz0 01:00.00 first\nFZ1[pro] 02:00.00 second\r\nfz2 \nunknown 00:01.00 x\n[odd\nfz3 last")};
}

std::vector<Bytes> steamIdSeeds() {
    return {b("76561198000000001"), b("  76561197960265729"), b("7656119800000000123456"), b("x123")};
}

std::vector<Bytes> listingSeeds() {
    return {b("readme.txt\r\nkz\\run.dem\r\nother.dem\r\n"), b("run.DEM\n"), b("a\\b\\last.dem"),
            b("bad\"name.dem\nbad%name.dem\ncon.dem\n..\\up.dem\nok.dem\n"),
            b("-opout\\run.dem\n@list.dem\nok.dem\n")};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    save(out / "demo_walk", demoSeeds());
    save(out / "recdata", recordsSeeds());
    save(out / "runs_list", runsSeeds());
    save(out / "steam_id", steamIdSeeds());
    save(out / "archive_listing", listingSeeds());
    return 0;
}
