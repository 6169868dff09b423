// runwarden-recdata: turns the records text the server's maintainers edit into
// RecData.dat, and any RecData.dat back into that text.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/utf8_main.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "records/records_image.h"
#include "records/records_text.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInvalidInput = 1;
constexpr int kExitUsage = 2;
constexpr uint64_t kMaxTextSize = 64u << 20;

constexpr const char* kUsage =
    "usage: runwarden-recdata compile MAPS.txt -o RecData.dat [--revision N]\n"
    "       runwarden-recdata dump RecData.dat [-o MAPS.txt]\n"
    "       runwarden-recdata --help\n";

constexpr const char* kHelp =
    "runwarden-recdata: the records data file RecData.dat as editable text.\n"
    "\n"
    "  compile MAPS.txt -o RecData.dat [--revision N]\n"
    "      Writes the records file for the update server. --revision sets the\n"
    "      file's revision (it overrides a 'revision' line); raise it with every\n"
    "      publication so that clients download the new file.\n"
    "  dump RecData.dat [-o MAPS.txt]\n"
    "      Prints a records file as text (to standard output without -o).\n"
    "      Compiling the dump gives the same file byte for byte.\n"
    "\n"
    "Text format (one map block per map; '#' starts a comment):\n"
    "\n"
    "  revision 57                 the file's revision (or give --revision)\n"
    "  format 2                    format version; 2 when left out\n"
    "\n"
    "  map kz_cave                 starts a map block, up to the next 'map'\n"
    "    mode 1                    detection mode 0-255 (0-3 detect), before the entries\n"
    "    start pattern 0a 1b 2c    start button message pattern, 1-255 hex bytes\n"
    "    stop pattern 0a1b2d       stop button; blanks between bytes optional\n"
    "\n"
    "  map \"KZ Caves\\x00\"          quote other names; escapes \\\" \\\\ \\xHH\n"
    "    mode 3\n"
    "    start pattern 01 02 03\n"
    "    start position 1024 -512 64         mode 3 only: button at x y z\n"
    "    stop position 1100 -512 64 kind 2   stored kind byte, when not 0\n"
    "\n"
    "Names are stored as written; the program lowers them and ends them at the\n"
    "first NUL. revision and format come before the first map; each list holds\n"
    "at most 255 entries; the finished file may not exceed 1,048,576 bytes.\n"
    "\n"
    "Exit status: 0 done, 1 invalid input (messages name FILE:LINE), 2 usage.\n";

std::filesystem::path pathOf(const std::string& arg) {
#ifdef _WIN32
    return std::filesystem::path(rw::platform::utf8ToWide(arg));
#else
    return std::filesystem::path(arg);
#endif
}

void printErr(const std::string& text) { std::fputs(text.c_str(), stderr); }

int usageError(const std::string& message) {
    printErr("runwarden-recdata: " + message + "\n" + kUsage);
    return kExitUsage;
}

int printFailure(const std::string& text) {
    printErr(text + "\n");
    return kExitInvalidInput;
}

int inputError(const std::string& where, const std::string& message) {
    return printFailure(where + ": error: " + message);
}

struct Options {
    std::vector<std::string> inputs;
    std::optional<std::string> output;
    std::optional<uint32_t> revision;
};

// Parses everything after the command word.
rw::Result<Options> parseOptions(const std::vector<std::string>& args, bool allowRevision) {
    auto usage = [](std::string text) { return rw::Failure{rw::FailureKind::usage, std::move(text)}; };
    Options opt;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return usage(a + " needs a file name");
            if (opt.output) return usage("more than one output file");
            opt.output = args[++i];
        } else if (allowRevision && (a == "--revision" || a.rfind("--revision=", 0) == 0)) {
            std::string value;
            if (a == "--revision") {
                if (i + 1 >= args.size()) return usage("--revision needs a number");
                value = args[++i];
            } else {
                value = a.substr(11);
            }
            uint32_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size())
                return usage("--revision takes a whole number from 0 to 4294967295, not '" + value + "'");
            opt.revision = n;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            opt.inputs.push_back(a);
        }
    }
    if (opt.inputs.size() != 1) return usage(opt.inputs.empty() ? "no input file" : "more than one input file");
    return opt;
}

int compile(const std::vector<std::string>& args) {
    const rw::Result<Options> options = parseOptions(args, true);
    if (!options) return usageError(options.text());
    const Options& opt = *options;
    if (!opt.output) return usageError("compile needs -o RecData.dat");
    const std::string& input = opt.inputs[0];

    const auto text = rw::platform::readFileBounded(pathOf(input), 0, kMaxTextSize);
    if (!text) return inputError(input, "cannot read the file: it " + text.text());
    rw::Result<rw::RecordsText> parsed =
        rw::parseRecordsText(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()), input);
    if (!parsed) return printFailure(parsed.text());
    for (const rw::RecordsTextIssue& w : parsed->warnings)
        printErr(input + ":" + std::to_string(w.line) + ": warning: " + w.message + "\n");
    if (opt.revision) {
        parsed->image.revision = *opt.revision;
    } else if (!parsed->hasRevision) {
        return usageError("no revision: pass --revision N or add a 'revision N' line to " + input);
    }

    const auto bytes = rw::encodeRecordsImage(parsed->image);
    if (!bytes) return inputError(input, bytes.text());
    if (bytes->size() > rw::kRecordsMaxFileSize)
        return inputError(input, "the records file would be " + std::to_string(bytes->size()) +
                                     " bytes; the program loads at most 1,048,576");
    if (!rw::platform::writeFileSafely(pathOf(*opt.output), *bytes)) {
        return inputError(*opt.output, "cannot write the file");
    }
    std::printf("%s: revision %u, format %u, %zu maps, %zu bytes\n", opt.output->c_str(),
                static_cast<unsigned>(parsed->image.revision), static_cast<unsigned>(parsed->image.formatVersion),
                parsed->image.maps.size(), bytes->size());
    return kExitOk;
}

int dump(const std::vector<std::string>& args) {
    const rw::Result<Options> options = parseOptions(args, false);
    if (!options) return usageError(options.text());
    const Options& opt = *options;
    const std::string& input = opt.inputs[0];

    const auto bytes = rw::platform::readFileBounded(pathOf(input), 0, rw::kRecordsMaxFileSize);
    if (!bytes) {
        return inputError(input, bytes.kind() == rw::FailureKind::tooLarge
                                     ? "larger than 1,048,576 bytes, which the program does not load"
                                     : "cannot read the file: it " + bytes.text());
    }
    // Any format version: maintainers may dump files made for a newer program.
    const rw::Result<rw::RecordsImage> image = rw::verifyRecordsImage(*bytes, std::numeric_limits<uint32_t>::max());
    if (!image) return inputError(input, image.text());

    const std::string text = rw::printRecordsText(*image);
    if (opt.output) {
        const std::span<const uint8_t> out(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        if (!rw::platform::writeFileSafely(pathOf(*opt.output), out)) {
            return inputError(*opt.output, "cannot write the file");
        }
        return kExitOk;
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return inputError("standard output", "cannot write");
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
    if (args[0] == "compile") return compile(args);
    if (args[0] == "dump") return dump(args);
    return usageError("unknown command '" + args[0] + "'");
}

}  // namespace

int utf8Main(const std::vector<std::string>& args) { return run(args); }
