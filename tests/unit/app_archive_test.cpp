#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/archive_command.h"
#include "app/archive_listing.h"
#include "app/archiver_location.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace rw::app {
namespace {

std::optional<std::wstring> pick(const std::string& listing) {
    return firstDemoEntry(std::span(reinterpret_cast<const uint8_t*>(listing.data()), listing.size()));
}

TEST(ArchiveListing, TakesTheFirstSafeDemoEntry) {
    EXPECT_TRUE(isArchivePath(L"C:\\demos\\pack.rar"));
    EXPECT_FALSE(isArchivePath(L"C:\\demos\\pack.RAR"));
    const std::string dem259 = std::string(255, 'b') + ".dem";
    const struct {
        const char* name;
        std::string listing;
        std::optional<std::wstring> entry;
    } rows[] = {
        {"CR LF", "readme.txt\r\nkz\\run.dem\r\nother.dem\r\n", L"kz\\run.dem"},
        {"OEM code page", "kz\\sch\x94n.dem\n", L"kz\\sch\u00f6n.dem"},
        {"extension is case-sensitive", "run.DEM\r\n", std::nullopt},
        {"trailing blank", "run.dem \r\n", std::nullopt},
        {"last line without end", "notes.txt\r\nrun.dem", L"run.dem"},
        {"a lone CR is no line end", "a.dem\rb.txt\n", std::nullopt},
        {"overlong line skipped, not cut", std::string(300, 'a') + ".dem\r\nshort.dem\r\n", L"short.dem"},
        {"259 characters fit", dem259 + "\n", std::wstring(255, L'b') + L".dem"},
        {"260 do not", "x" + dem259 + "\nfallback.dem\n", L"fallback.dem"},
        {"not a device name", "com10.dem\n", L"com10.dem"},
        {"only a leading - or @ is a switch", "kz\\-run@1.dem\n", L"kz\\-run@1.dem"},
    };
    for (const auto& r : rows) EXPECT_EQ(pick(r.listing), r.entry) << r.name;
}

TEST(ArchiveListing, HostileNamesAreSkipped) {
    for (const std::string& bad : std::vector<std::string>{
             "a\"b.dem", "100%.dem", "%COMSPEC%.dem", "x&y|z.dem", "x>y.dem", "x<y.dem", "c:\\run.dem",
             "dir/run.dem", "what?.dem", "star*.dem", "tab\there.dem", std::string("nul\0x.dem", 9),
             "esc\x1b.dem", "del\x7f.dem", "\\run.dem", "kz\\\\run.dem", "..\\run.dem", "kz\\.\\run.dem",
             "kz.\\run.dem", "kz \\run.dem", "con.dem", "NUL.dem", "kz\\com1.dem", "lpt9.dem", "aux.x.dem",
             "-opout\\run.dem", "-y.dem", "@list.dem", "@kz\\run.dem"}) {
        EXPECT_EQ(pick(bad + "\r\nsafe\\run.dem\r\n"), L"safe\\run.dem") << bad;
    }
}

// The quoting itself is proven by CommandLineToArgvW under Wine, below.
TEST(ArchiveCommand, RunsRarDirectlyWithQuotedArguments) {
    const auto list = listingCommand(L"C:\\Program Files\\WinRAR", L"C:\\demos\\pack.rar").value();
    EXPECT_EQ(list.program, L"C:\\Program Files\\WinRAR\\rar.exe");
    EXPECT_EQ(list.commandLine, L"\"C:\\Program Files\\WinRAR\\rar.exe\" vb -- \"C:\\demos\\pack.rar\"");
    const auto extract = extractionCommand(L"C:\\WinRAR\\", L"C:\\demos\\pack.rar", L"kz\\run.dem").value();
    EXPECT_EQ(extract.commandLine, L"\"C:\\WinRAR\\rar.exe\" x -av- -ep -- \"C:\\demos\\pack.rar\" \"kz\\run.dem\"");
}

TEST(ArchiveCommand, RefusesWhatDoesNotFitOrCannotBeQuoted) {
    const std::wstring folder = L"C:\\WinRAR";
    const std::wstring fits(kMaxArchiverCommandLine - std::wstring(L"\"C:\\WinRAR\\rar.exe\" vb -- \"\"").size(), L'a');
    EXPECT_EQ(listingCommand(folder, fits).value().commandLine.size(), kMaxArchiverCommandLine);
    EXPECT_FALSE(listingCommand(folder, fits + L"a"));
    EXPECT_FALSE(listingCommand(L"C:\\Win\"RAR", L"C:\\a.rar"));
    EXPECT_FALSE(listingCommand(std::wstring(L"C:\\W\0x", 6), L"C:\\a.rar"));
    EXPECT_FALSE(listingCommand(folder, L""));
    EXPECT_FALSE(extractionCommand(folder, L"C:\\a.rar", L""));
}

#ifdef _WIN32
TEST(ArchiveCommand, CommandLineToArgvWGivesTheArgumentsBack) {
    for (const std::wstring arg :
         {L"C:\\100% sure\\a b.rar", L"ends\\", L"q\"uote", L"back\\\\\"x", L"  spaced  ", L"tab\there"}) {
        const auto cmd = extractionCommand(L"C:\\Program Files\\WinRAR", arg, L"kz\\run.dem");
        ASSERT_TRUE(cmd);
        int count = 0;
        LPWSTR* args = CommandLineToArgvW(cmd->commandLine.c_str(), &count);
        const std::vector<std::wstring> split(args, args + count);
        LocalFree(args);
        EXPECT_EQ(split, (std::vector<std::wstring>{L"C:\\Program Files\\WinRAR\\rar.exe", L"x", L"-av-", L"-ep",
                                                    L"--", arg, L"kz\\run.dem"}));
    }
}
#endif

TEST(ArchiverLocation, ValueAndTempFolderMustFit) {
    std::vector<uint16_t> value(259, 'a');
    EXPECT_EQ(archiverFolderFromValue(value)->size(), 259u);  // ending with the data still fits
    value.push_back(0);
    EXPECT_EQ(archiverFolderFromValue(value)->size(), 259u);
    value.back() = 'a';  // 260 characters leave no room for a terminator
    EXPECT_FALSE(archiverFolderFromValue(value));
    value.push_back(0);
    EXPECT_FALSE(archiverFolderFromValue(value));
    EXPECT_EQ(archiverFolderFromValue(std::vector<uint16_t>{'C', ':', '\\', 'W', 0, 'x'}), L"C:\\W");
    EXPECT_EQ((std::tuple{tempFolderFits(0), tempFolderFits(260), tempFolderFits(261)}),
              (std::tuple{false, true, false}));
}

}  // namespace
}  // namespace rw::app
