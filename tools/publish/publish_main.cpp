// runwarden-publish: prepares what the update server and the records-list
// server hand out, checked the way the program checks its downloads.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/utf8_main.h"
#include "platform/text.h"
#include "release_signing.h"
#include "server_layout.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInvalidInput = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: runwarden-publish release --program Runwarden.exe --version N --changelog NOTES.txt --out DIR [--key KEY]\n"
    "       runwarden-publish records [--recdata RecData.dat --out DIR] [--runs demos_tcl.txt --list-out DIR] [--key KEY]\n"
    "       runwarden-publish keygen DIR\n"
    "       runwarden-publish --help\n";

constexpr const char* kHelp =
    "runwarden-publish: lays out the folders Runwarden's two web servers serve.\n"
    "Any static web server can serve them, over HTTP or HTTPS.\n"
    "\n"
    "  release --program FILE --version N --changelog FILE --out DIR\n"
    "      A new program for the update server. Writes\n"
    "        DIR/intern/Runwarden/x64/Runwarden.exe   the program as given\n"
    "        DIR/intern/Runwarden/changelog.txt       shown once after the update\n"
    "        DIR/intern/Runwarden/x64/UpdateData.dat  version N and the program's CRC-32\n"
    "      the descriptor last, so clients never see it before its program.\n"
    "      Signed clients whose own version is below N offer the update, so N\n"
    "      must be the version the published program reports as its own. The change\n"
    "      log is shown as 8-bit text in the ANSI code page, at most 1 MiB.\n"
    "      With --key release-private.pem each of the three is signed too\n"
    "        (Runwarden.exe.sig, changelog.txt.sig, UpdateData.dat.sig)\n"
    "      which builds made with the matching public key require.\n"
    "\n"
    "  records [--recdata FILE --out DIR] [--runs FILE --list-out DIR]\n"
    "      Records data for the update server and the world-record list for the\n"
    "      records-list server. Writes\n"
    "        DIR/intern/Runwarden/RecData.dat   (--recdata)\n"
    "        LISTDIR/demos_tcl.txt              (--runs; LISTDIR is --list-out, else --out)\n"
    "      RecData.dat must load in the program: 12 bytes to 1 MiB, format 2 at\n"
    "      most, a matching CRC-32 and a body that decodes. Clients download it\n"
    "      when its revision is higher (unsigned builds: when it differs); make it with\n"
    "      'runwarden-recdata compile MAPS.txt -o RecData.dat --revision N'.\n"
    "      The list's first line is not used; every further line is a map name,\n"
    "      then a blank or '[', then the run; lines over 259 characters are\n"
    "      skipped by clients and reported here as warnings.\n"
    "      With --key release-private.pem, RecData.dat is signed too\n"
    "        DIR/intern/Runwarden/RecData.dat.sig\n"
    "\n"
    "  keygen DIR\n"
    "      A new release key: DIR/release-private.pem (readable by you only) and\n"
    "      DIR/release-public.pem. Existing keys are never replaced. Keep the\n"
    "      private key off the servers and out of any repository; builds take the\n"
    "      public one with -DRW_RELEASE_PUBLIC_KEY=DIR/release-public.pem.\n"
    "\n"
    "Options take their value as the next argument or after '='.\n"
    "Exit status: 0 done, 1 invalid input or a file that cannot be written, 2 usage.\n";

std::filesystem::path pathOf(const std::string& arg) {
#ifdef _WIN32
    return std::filesystem::path(rw::platform::utf8ToWide(arg));
#else
    return std::filesystem::path(arg);
#endif
}

void printErr(const std::string& text) { std::fputs(text.c_str(), stderr); }

int usageError(const std::string& message) {
    printErr("runwarden-publish: " + message + "\n" + kUsage);
    return kExitUsage;
}

int inputError(const rw::Failure& failure) {
    printErr(failure.text + "\n");
    return kExitInvalidInput;
}

void printWarnings(const std::string& where, const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings) printErr(where + ": warning: " + w + "\n");
}

using Values = std::map<std::string, std::string>;

// "--name value" and "--name=value" for the allowed names; every option at most once.
rw::Result<Values> parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed) {
    auto usage = [](std::string text) { return rw::Failure{rw::FailureKind::usage, std::move(text)}; };
    Values values;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) return usage("unexpected argument '" + a + "'");
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) return usage("unknown option " + name);
        std::string value;
        if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else {
            if (i + 1 >= args.size()) return usage(name + " needs a value");
            value = args[++i];
        }
        if (value.empty()) return usage(name + " needs a value");
        if (!values.emplace(name, value).second) return usage(name + " given twice");
    }
    return values;
}

rw::Result<uint32_t> parseVersion(const std::string& text) {
    uint32_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return rw::Failure{rw::FailureKind::usage,
                           "--version takes a whole number from 0 to 4294967295, not '" + text + "'"};
    }
    return n;
}

int release(const std::vector<std::string>& args) {
    rw::Result<Values> parsed = parseOptions(args, {"--program", "--version", "--changelog", "--out", "--key"});
    if (!parsed) return usageError(parsed.text());
    Values& v = *parsed;
    for (const char* needed : {"--program", "--version", "--changelog", "--out"}) {
        if (!v.count(needed)) return usageError(std::string("release needs ") + needed);
    }
    const rw::Result<uint32_t> version = parseVersion(v["--version"]);
    if (!version) return usageError(version.text());

    rw::publish::ReleaseInput in;
    in.program = pathOf(v["--program"]);
    in.version = *version;
    in.changeLog = pathOf(v["--changelog"]);
    in.out = pathOf(v["--out"]);
    if (v.count("--key")) in.key = pathOf(v["--key"]);
    const rw::Result<rw::publish::ReleaseSummary> published = rw::publish::publishRelease(in);
    if (!published) return inputError(published.failure());
    const rw::publish::ReleaseSummary& summary = *published;
    printWarnings(v["--changelog"], summary.warnings);
    std::printf("release: version %u, program %zu bytes, CRC-32 %08X, change log %zu bytes\n",
                static_cast<unsigned>(summary.version), summary.programSize, static_cast<unsigned>(summary.programCrc),
                summary.changeLogSize);
    return kExitOk;
}

int records(const std::vector<std::string>& args) {
    rw::Result<Values> parsed = parseOptions(args, {"--recdata", "--runs", "--out", "--list-out", "--key"});
    if (!parsed) return usageError(parsed.text());
    Values& v = *parsed;
    if (!v.count("--recdata") && !v.count("--runs")) return usageError("records needs --recdata, --runs or both");
    if (v.count("--recdata") && !v.count("--out")) return usageError("--recdata needs --out");
    if (v.count("--runs") && !v.count("--out") && !v.count("--list-out")) {
        return usageError("--runs needs --list-out or --out");
    }
    if (v.count("--list-out") && !v.count("--runs")) return usageError("--list-out needs --runs");

    rw::publish::RecordsInput in;
    if (v.count("--recdata")) in.recData = pathOf(v["--recdata"]);
    if (v.count("--runs")) in.runsList = pathOf(v["--runs"]);
    if (v.count("--out")) in.out = pathOf(v["--out"]);
    in.listOut = pathOf(v.count("--list-out") ? v["--list-out"] : v["--out"]);
    if (v.count("--key")) in.key = pathOf(v["--key"]);
    const rw::Result<rw::publish::RecordsSummary> published = rw::publish::publishRecords(in);
    if (!published) return inputError(published.failure());
    const rw::publish::RecordsSummary& summary = *published;
    printWarnings(v.count("--runs") ? v["--runs"] : v["--recdata"], summary.warnings);
    if (in.recData) {
        std::printf("RecData.dat: revision %u, %zu maps, %zu bytes\n", static_cast<unsigned>(summary.revision),
                    summary.maps, summary.recDataSize);
    }
    if (in.runsList) {
        std::printf("demos_tcl.txt: %zu runs, %zu bytes", summary.runLines, summary.listSize);
        if (in.recData) std::printf(", %zu for maps RecData.dat does not hold", summary.unknownMapLines);
        std::printf("\n");
    }
    return kExitOk;
}

int keygen(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("keygen takes one folder");
    const rw::Result<> made = rw::publish::generateKeyPair(pathOf(args[1]));
    if (!made) {
        printErr("runwarden-publish: " + made.text() + "\n");
        return kExitInvalidInput;
    }
    std::printf("keygen: %s and %s written in %s\n", rw::publish::kPrivateKeyFile, rw::publish::kPublicKeyFile,
                args[1].c_str());
    return kExitOk;
}

int run(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return kExitOk;
        }
    }
    if (args.empty()) return usageError("no command");
    if (args[0] == "release") return release(args);
    if (args[0] == "records") return records(args);
    if (args[0] == "keygen") return keygen(args);
    return usageError("unknown command '" + args[0] + "'");
}

}  // namespace

int utf8Main(const std::vector<std::string>& args) { return run(args); }
