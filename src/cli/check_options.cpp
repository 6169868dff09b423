#include "cli/check_options.h"

#include <charconv>

namespace rw::cli {

std::string checkUsage() {
    return R"(Usage: runwarden-check [OPTIONS] DEMO|ARCHIVE|FOLDER...

Checks recorded Counter-Strike climbing runs (.dem files): player, SteamID, map,
run time between the map's start and stop buttons, world records, frame rate,
server settings, and whether the demo was recorded on a LAN server.

Archives: on Linux every .dem entry of a .zip, .7z, .rar, .tar, .tar.gz or
.tar.xz is checked, in archive order, through libarchive; each report names the
archive and the entry. On Windows the first .dem entry of a .rar, .zip or .7z is
checked, taken out with WinRAR's rar.exe (.rar only), else 7-Zip's 7z.exe, else
Windows' own tar.exe (Windows 10 1803 and later).

Options:
  --records PATH        records data file (default: RecData.dat in the current
                        folder when present); its checksum must be right
  --runs PATH           world-record list (demos_tcl.txt) to merge into the records
  --json                one JSON object per demo per line
  --graph PATH          draw each finished run as an SVG picture: frame rate over
                        time, the start and stop presses, wrong settings. For a
                        single demo file PATH is the picture's file name, unless
                        it is a folder or ends in a slash; for several demos, an
                        ARCHIVE or a FOLDER, PATH is a folder (made when missing)
                        that gets one NAME.svg per demo, NAME-2.svg and so on
                        when names repeat
  --recursive           also check .dem files and archives in subfolders of FOLDER
                        arguments
  --jobs N              check N demos at a time (default: one per core)
  --refresh             bring the records file up to date from the update server
                        first, as the Windows program does at start-up, and save
                        the records list as demos_tcl.txt beside it (or at --runs)
  --update-server URL   update server for --refresh (default: the built-in one)
  --list-server URL     records-list server for --refresh (default: the built-in one)
  --help                show this help
  --version             show the program version

Exit status: 0 when every demo finished (and its graph was written), 1 when any
did not, 2 on a usage error.
)";
}

Result<CheckOptions> parseCheckOptions(const std::vector<std::string>& args) {
    auto usage = [](std::string text) { return Failure{FailureKind::usage, std::move(text)}; };
    CheckOptions o;
    bool onlyFiles = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        const std::string needsValue = "option " + a + " needs a value";
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            o.demos.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--recursive" || a == "-r") {
            o.recursive = true;
        } else if (a == "--refresh") {
            o.refresh = true;
        } else if (a == "--records") {
            if (!value(o.recordsPath)) return usage(needsValue);
        } else if (a == "--runs") {
            if (!value(o.runsPath)) return usage(needsValue);
        } else if (a == "--graph") {
            if (!value(o.graphPath)) return usage(needsValue);
            if (o.graphPath.empty()) return usage("--graph needs a file or folder name");
        } else if (a == "--update-server") {
            if (!value(o.updateServer)) return usage(needsValue);
        } else if (a == "--list-server") {
            if (!value(o.listServer)) return usage(needsValue);
        } else if (a == "--jobs" || a == "-j") {
            std::string text;
            if (!value(text)) return usage(needsValue);
            unsigned n = 0;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (ec != std::errc() || end != text.data() + text.size() || n == 0 || n > 256) {
                return usage("--jobs takes a whole number from 1 to 256");
            }
            o.jobs = n;
        } else {
            return usage("unknown option " + a);
        }
    }
    if ((!o.updateServer.empty() || !o.listServer.empty()) && !o.refresh)
        return usage("--update-server and --list-server go with --refresh");
    if (!o.help && !o.version && o.demos.empty() && !o.refresh) return usage("no demo given");
    return o;
}

}  // namespace rw::cli
