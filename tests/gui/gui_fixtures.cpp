// Writes the files the GUI tests use into OUT: synthetic demos, archives in
// the stand-in rar.exe's format, and the update and records-list servers'
// files (OUT/server is laid out like the servers).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo_builder.h"
#include "platform/file_system.h"
#include "recdata.h"

namespace {

using rw::test::Bytes;
using rw::test::ClientState;
using rw::test::DemoBuilder;
namespace msg = rw::test::msg;
namespace fs = std::filesystem;

const Bytes kStart{0x5A, 0x01};
const Bytes kStop{0x5A, 0x02};

ClientState at(float time, uint8_t msec) {
    ClientState s;
    s.time = time;
    s.msec = msec;
    return s;
}

Bytes press(const Bytes& entry) { return msg::concat({msg::filler(3, 0), msg::buttonPattern(6, entry), msg::filler(4, 0)}); }

// A clean run at 100 fps on kz_gui, which has two world-record lines.
Bytes goodDemo() {
    DemoBuilder b("kz_gui");
    b.startupFrame(msg::userInfo("Climber", "76561198000000000"))
        .startMarker()
        .networkFrame(at(5.0f, 10))
        .networkFrame(at(10.0f, 10), press(kStart));
    for (int k = 1; k <= 50; ++k) b.networkFrame(at(10.0f + k, 10));
    b.networkFrame(at(93.456f, 10), press(kStop)).startMarker();
    return b.bytes();
}

// A run at about 71 fps on kz_solo (one world-record line) with gravity,
// step size and footsteps wrong during the run.
Bytes slowDemo() {
    DemoBuilder b("KZ_Solo");
    b.startupFrame(msg::userInfo("Slowpoke", "76561197960265729"))
        .startMarker()
        .networkFrame(at(2.0f, 14), press(kStart));
    ClientState wrong = at(3.0f, 14);
    wrong.gravity = 600.0f;
    wrong.stepSize = 24.0f;
    wrong.footsteps = 0;
    for (int k = 0; k < 20; ++k) b.networkFrame(k == 10 ? wrong : at(3.0f + k, 14));
    b.networkFrame(at(61.99f, 14), press(kStop)).startMarker();
    return b.bytes();
}

bool write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    if (rw::platform::writeFileSafely(path, bytes)) return true;
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_fixtures OUT\n");
        return 2;
    }
    const fs::path out = argv[1];
    const Bytes good = goodDemo();

    // Both maps start at kStart and stop at kStop.
    const Bytes records = rw::test::recData("revision 7\nmap kz_gui\nmode 0\nstart pattern 5a01\nstop pattern 5a02\n"
                                            "map kz_solo\nmode 0\nstart pattern 5a01\nstop pattern 5a02\n");
    const std::string runs =
        "maps and their world records\r\n"
        "kz_gui 01:02.34 Alpha\r\n"
        "kz_gui[al] 01:05.00 Beta\r\n"
        "kz_solo 00:59.99 Gamma\r\n";
    // Version 15, the program's own: no update is offered.
    const Bytes descriptor{15, 0, 0, 0, 0, 0, 0, 0};

    const Bytes notADemo = rw::test::bytesOf("just some text, not a recording\n");
    const bool ok =
        write(out / "demos" / "good.dem", good) && write(out / "demos" / "slow.dem", slowDemo()) &&
        write(out / "demos" / "notademo.dem", notADemo) &&
        write(out / "archives" / "my 100% runs.rar",
              rw::test::bytesOf("readme.txt\r\nkz\\bad\"name.dem\r\nkz\\good.dem\r\nother.dem\r\n")) &&
        write(out / "archives" / "my 100% runs.rar.d" / "kz" / "good.dem", good) &&
        write(out / "archives" / "hostile.rar",
              rw::test::bytesOf("%PATH%.dem\r\na|b.dem\r\n..\\up.dem\r\n-opout\\run.dem\r\n@list.dem\r\nrun.DEM\r\n")) &&
        write(out / "server" / "intern" / "Runwarden" / "RecData.dat", records) &&
        write(out / "server" / "intern" / "Runwarden" / "x64" / "UpdateData.dat", descriptor) &&
        write(out / "server" / "demos_tcl.txt", rw::test::bytesOf(runs));
    return ok ? 0 : 1;
}
