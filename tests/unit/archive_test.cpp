#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/archive_listing.h"
#include "platform/archiver_commands.h"
#include "platform/text.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include "cli/batch_check.h"
#endif

namespace rw::platform {
namespace {

std::optional<std::wstring> pick(Archiver kind, const std::string& listing) {
    return firstDemoEntry(kind, {reinterpret_cast<const uint8_t*>(listing.data()), listing.size()},
                          kind == Archiver::rar ? oemToWide : utf8ToWide);
}

constexpr Archiver kRar = Archiver::rar, k7z = Archiver::sevenZip, kTar = Archiver::tar;

TEST(ArchiveListing, TakesTheFirstSafeDemoEntry) {
    const std::string dem259 = std::string(255, 'b') + ".dem";
    const std::string head = "--\nPath = kz.dem\nType = zip\n\n----------\n";  // the archive itself
    const struct {
        const char* name;
        Archiver kind;
        std::string listing;
        std::optional<std::wstring> entry;
    } rows[] = {
        {"CR LF", kRar, "readme.txt\r\nkz\\run.dem\r\nother.dem\r\n", L"kz\\run.dem"},
        {"OEM code page", kRar, "kz\\sch\x94n.dem\n", L"kz\\sch\u00f6n.dem"},
        {"extension is case-sensitive", kRar, "run.DEM\r\n", std::nullopt},
        {"trailing blank", kRar, "run.dem \r\n", std::nullopt},
        {"last line without end", kRar, "notes.txt\r\nrun.dem", L"run.dem"},
        {"a lone CR is no line end", kRar, "a.dem\rb.txt\n", std::nullopt},
        {"overlong line skipped, not cut", kRar, std::string(1100, 'a') + ".dem\r\nshort.dem\r\n", L"short.dem"},
        {"259 characters fit", kRar, dem259 + "\n", std::wstring(255, L'b') + L".dem"},
        {"260 do not", kRar, "x" + dem259 + "\nfallback.dem\n", L"fallback.dem"},
        {"not a device name", kRar, "com10.dem\n", L"com10.dem"},
        {"only a leading - or @ is a switch", kRar, "kz\\-run@1.dem\n", L"kz\\-run@1.dem"},
        {"slashes separate folders", kTar, "kz/run.dem\n", L"kz/run.dem"},
        {"tar escapes undone", kTar, "sch\\303\\266n\\\\x.dem\n", L"sch\u00f6n\\x.dem"},
        {"an escaped line end is no name", kTar, "a\\nb.dem\nc.dem\n", L"c.dem"},
        {"an unknown escape is kept", kTar, "kz\\good.dem\n", L"kz\\good.dem"},
        {"7-Zip: after the archive's own block, folders skipped", k7z,
         head + "Path = x.dem\nFolder = +\n\nPath = y.dem\nAttributes = D\n\nPath = kz\\z.dem\n", L"kz\\z.dem"},
        {"7-Zip: UTF-8", k7z, head + "Path = l\xc3\xa4uft.dem\n\n", L"l\u00e4uft.dem"},
    };
    for (const auto& r : rows) EXPECT_EQ(pick(r.kind, r.listing), r.entry) << r.name;
}

TEST(ArchiveListing, HostileNamesAreSkipped) {
    for (const std::string& bad : std::vector<std::string>{
             "a\"b.dem", "100%.dem", "%COMSPEC%.dem", "x&y|z.dem", "x>y.dem", "x<y.dem", "c:\\run.dem",
             "/run.dem", "kz/../run.dem", "what?.dem", "star*.dem", "tab\there.dem", std::string("nul\0x.dem", 9),
             "esc\x1b.dem", "del\x7f.dem", "\\run.dem", "kz\\\\run.dem", "..\\run.dem", "kz\\.\\run.dem",
             "kz.\\run.dem", "kz \\run.dem", "con.dem", "NUL.dem", "kz\\com1.dem", "lpt9.dem", "aux.x.dem",
             "kz\\aux\\run.dem", "-opout\\run.dem", "-y.dem", "@list.dem", "@kz\\run.dem"}) {
        EXPECT_EQ(pick(kRar, bad + "\r\nsafe\\run.dem\r\n"), L"safe\\run.dem") << bad;
    }
}

TEST(ArchiverChoice, RarThen7ZipThenWindowsTar) {
    const std::wstring rar = L"C:\\WinRAR", sevenZip = L"C:\\7-Zip\\", tar = L"C:\\Windows\\System32\\tar.exe";
    const FoundArchivers all{rar, sevenZip, tar};
    const ArchiverChoice none;
    const auto program = [&](auto a, const FoundArchivers& f) { return archiverFor(a, f).value_or(none).program; };
    EXPECT_EQ((std::vector{program(L"a.rar", all), program(L"a.zip", all), program(L"a.7z", all),
                           program(L"a.zip", {rar, {}, tar}), program(L"a.rar", {{}, {}, tar}), program(L"a.RAR", all),
                           program(L"a.tar.gz", all), program(L"a.zip", {})}),
              (std::vector<std::wstring>{L"C:\\WinRAR\\rar.exe", L"C:\\7-Zip\\7z.exe", L"C:\\7-Zip\\7z.exe", tar, tar,
                                         L"", L"", L""}));
    EXPECT_EQ(openedExtensions(all), (std::vector<std::wstring>{L".rar", L".zip", L".7z"}));
    EXPECT_EQ(openedExtensions({rar, {}, {}}), std::vector<std::wstring>{L".rar"});
}

// 7z.exe's and tar.exe's lines are run by 7zz and bsdtar below; CommandLineToArgvW proves the quoting.
TEST(ArchiverCommand, RunsRarDirectlyWithQuotedNames) {
    const ArchiverChoice rar{kRar, L"C:\\Program Files\\WinRAR\\rar.exe"};
    EXPECT_EQ(listingCommand(rar, L"C:\\demos\\pack.rar")->commandLine,
              L"\"C:\\Program Files\\WinRAR\\rar.exe\" vb -- \"C:\\demos\\pack.rar\"");
    EXPECT_EQ(extractionCommand(rar, L"C:\\demos\\pack.rar", L"kz\\run.dem", L"C:\\Temp\\RW1")->commandLine,
              L"\"C:\\Program Files\\WinRAR\\rar.exe\" x -av- -ep -- \"C:\\demos\\pack.rar\" \"kz\\run.dem\" "
              L"\"C:\\Temp\\RW1\\\\\"");
}

TEST(ArchiverCommand, RefusesWhatDoesNotFitOrCannotBeQuoted) {
    const ArchiverChoice rar{kRar, L"C:\\WinRAR\\rar.exe"};
    const std::wstring fits(kMaxArchiverCommandLine - std::wstring(L"\"C:\\WinRAR\\rar.exe\" vb -- \"\"").size(), L'a');
    EXPECT_EQ(listingCommand(rar, fits).value().commandLine.size(), kMaxArchiverCommandLine);
    EXPECT_FALSE(listingCommand(rar, fits + L"a"));
    EXPECT_FALSE(listingCommand({kRar, L"C:\\Win\"RAR\\rar.exe"}, L"C:\\a.rar") || listingCommand(rar, L"") ||
                 archiverFor(L"a.rar", {L"C:\\Win\"RAR", {}, {}}) || listingCommand(rar, std::wstring(L"a\0.rar", 6)));
    EXPECT_FALSE(extractionCommand(rar, L"C:\\a.rar", L"", L"C:\\T"));
}

#ifdef _WIN32
TEST(ArchiverCommand, CommandLineToArgvWGivesTheArgumentsBack) {
    for (const std::wstring arg :
         {L"C:\\100% sure\\a b.rar", L"ends\\", L"q\"uote", L"back\\\\\"x", L"  spaced  ", L"tab\there"}) {
        const auto cmd = extractionCommand({kRar, L"C:\\Program Files\\WinRAR\\rar.exe"}, arg, L"kz\\run.dem",
                                           L"C:\\T");
        ASSERT_TRUE(cmd);
        int count = 0;
        LPWSTR* args = CommandLineToArgvW(cmd->commandLine.c_str(), &count);
        const std::vector<std::wstring> split(args, args + count);
        LocalFree(args);
        EXPECT_EQ(split, (std::vector<std::wstring>{L"C:\\Program Files\\WinRAR\\rar.exe", L"x", L"-av-", L"-ep",
                                                    L"--", arg, L"kz\\run.dem", L"C:\\T\\"}));
    }
}
#endif

TEST(ArchiverLocation, ValueAndTempFolderMustFit) {
    std::vector<uint16_t> value(259, 'a');
    EXPECT_EQ(folderFromRegistryValue(value)->size(), 259u);  // ending with the data still fits
    value.push_back(0);
    EXPECT_EQ(folderFromRegistryValue(value)->size(), 259u);
    value.back() = 'a';  // 260 characters leave no room for a terminator
    EXPECT_FALSE(folderFromRegistryValue(value));
    value.push_back(0);
    EXPECT_FALSE(folderFromRegistryValue(value));
    EXPECT_EQ(folderFromRegistryValue(std::vector<uint16_t>{'C', ':', '\\', 'W', 0, 'x'}), L"C:\\W");
    EXPECT_EQ((std::tuple{tempFolderFits(0), tempFolderFits(260), tempFolderFits(261)}),
              (std::tuple{false, true, false}));
}

#ifndef _WIN32
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the command's arguments with a Linux archiver in place of the Windows one.
int runNative(const std::string& program, const ArchiverCommand& command, const std::filesystem::path& output) {
    std::string line = program;
    for (const std::wstring& arg : command.args) line += " " + shellQuoted(wideToUtf8(arg));
    return std::system((line + " </dev/null >" + shellQuoted(output.string()) + " 2>/dev/null").c_str());
}

// 7z.exe's and tar.exe's command lines, run by 7zz and bsdtar: the same arguments, the same listings.
TEST(ArchiverCommand, RealArchiversTakeTheDemoOut) {
    const test::TempDir made;
    ASSERT_EQ(std::system(("python3 " RW_SOURCE_DIR "/tests/support/make_archives.py " RW_SOURCE_DIR
                           "/examples/sample.dem " + shellQuoted(made.path().string())).c_str()), 0);
    const struct {
        const char* archive;
        const char* entry;  // the entry taken; "" none (no demo), "-" unreadable
        bool spoiled;       // its data cannot be taken out
    } rows[] = {
        {"deflate.zip", "kz/run.dem"}, {"stored.zip", "run.dem"}, {"pack.7z", "a.dem"},
        {"my runs.7z", "kz dir/run one.dem"}, {"läufe.zip", "schön/läuft.dem"}, {"-dash.zip", "kz/-second.dem"},
        {"nodemo.zip", ""}, {"upper.zip", ""}, {"damaged.7z", "a.dem", true}, {"secret.zip", "run.dem", true},
        {"secret.7z", "-"}, {"fake.zip", "-"},
    };
    for (const auto& r : rows) {
        for (const auto& [kind, program] : {std::pair{k7z, "7zz"}, std::pair{kTar, "bsdtar"}}) {
            SCOPED_TRACE(std::string(r.archive) + " with " + program);
            const test::TempDir work;
            const ArchiverChoice archiver{kind, L"C:\\unused.exe"};
            const std::wstring archive = utf8ToWide((made / r.archive).string());
            const int listed = runNative(program, *listingCommand(archiver, archive), work / "listing");
            EXPECT_EQ(listed != 0, r.entry == std::string("-"));
            const auto entry = firstDemoEntry(kind, test::readAll(work / "listing"), utf8ToWide);
            EXPECT_EQ(entry ? wideToUtf8(*entry) : "", listed ? "" : r.entry);
            if (!entry) continue;
            std::filesystem::create_directory(work / "out");
            const auto extraction = extractionCommand(archiver, archive, *entry, utf8ToWide((work / "out").string()));
            EXPECT_EQ(runNative(program, *extraction, work / "log") != 0, r.spoiled);
            const auto file = work / "out" / cli::pathFromUtf8(wideToUtf8(extractedName(kind, *entry)));
            EXPECT_TRUE(r.spoiled || test::readAll(file) == test::readAll(RW_SOURCE_DIR "/examples/sample.dem"));
        }
    }
}
#endif

}  // namespace
}  // namespace rw::platform
