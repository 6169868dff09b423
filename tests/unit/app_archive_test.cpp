#include <gtest/gtest.h>

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

TEST(ArchiveListing, OnlyALowerCaseRarEndingMakesAnArchive) {
    EXPECT_TRUE(isArchivePath(L"C:\\demos\\pack.rar"));
    EXPECT_FALSE(isArchivePath(L"C:\\demos\\pack.RAR"));
    EXPECT_FALSE(isArchivePath(L"C:\\demos\\run.dem"));
    EXPECT_FALSE(isArchivePath(L"rar"));
}

TEST(ArchiveListing, TakesTheFirstDemoEntry) {
    EXPECT_EQ(pick("readme.txt\r\nkz\\run.dem\r\nother.dem\r\n"), L"kz\\run.dem");
    EXPECT_EQ(pick("readme.txt\nkz\\run.dem\nother.dem\n"), L"kz\\run.dem");
    EXPECT_EQ(entryFileName(L"kz\\run.dem"), L"run.dem");
    EXPECT_EQ(entryFileName(L"run.dem"), L"run.dem");
    EXPECT_EQ(pick("kz\\sch\x94n.dem\n"), L"kz\\sch\u00f6n.dem");  // OEM code page
    // The extension test is case-sensitive.
    EXPECT_FALSE(pick("run.DEM\r\n"));
    EXPECT_FALSE(pick("run.dem \r\n"));
    EXPECT_FALSE(pick(""));
}

TEST(ArchiveListing, LastLineNeedsNoLineEnd) {
    EXPECT_EQ(pick("notes.txt\r\nrun.dem"), L"run.dem");
    // A lone CR is not a line end.
    EXPECT_FALSE(pick("notes.txt\r\nrun.dem\r"));
    EXPECT_FALSE(pick("a.dem\rb.txt\n"));
}

TEST(ArchiveListing, OverlongLinesAreSkippedNotCut) {
    const std::string longLine = std::string(300, 'a') + ".dem";
    // Cut at 259 characters it would not end in .dem, but a 600-character one
    // could; neither may be taken.
    EXPECT_EQ(pick(longLine + "\r\nshort.dem\r\n"), L"short.dem");
    const std::string exact = std::string(255, 'b') + ".dem";  // 259 characters
    EXPECT_EQ(pick(exact + "\n"), std::wstring(255, L'b') + L".dem");
    EXPECT_EQ(pick("x" + exact + "\nfallback.dem\n"), L"fallback.dem");
}

TEST(ArchiveListing, HostileNamesAreSkipped) {
    for (const std::string& bad : std::vector<std::string>{
             "a\"b.dem", "100%.dem", "%COMSPEC%.dem", "x&y|z.dem", "x>y.dem", "x<y.dem", "c:\\run.dem",
             "dir/run.dem", "what?.dem", "star*.dem", "tab\there.dem", std::string("nul\0x.dem", 9),
             "esc\x1b.dem", "del\x7f.dem", "\\run.dem", "kz\\\\run.dem", "..\\run.dem", "kz\\.\\run.dem",
             "kz.\\run.dem", "kz \\run.dem", "con.dem", "NUL.dem", "kz\\com1.dem", "lpt9.dem", "aux.x.dem",
             "-opout\\run.dem", "-y.dem", "@list.dem", "@kz\\run.dem"}) {
        EXPECT_FALSE(pick(bad + "\r\n")) << bad;
        EXPECT_EQ(pick(bad + "\r\nsafe\\run.dem\r\n"), L"safe\\run.dem") << bad;
    }
    EXPECT_EQ(pick("rock&roll.dem\n"), L"rock&roll.dem");
    EXPECT_EQ(pick("console.dem\n"), L"console.dem");
    EXPECT_EQ(pick("com10.dem\n"), L"com10.dem");
    EXPECT_EQ(pick("my run (1).dem\n"), L"my run (1).dem");
    EXPECT_EQ(pick("kz\\-run@1.dem\n"), L"kz\\-run@1.dem");  // only a leading one is a switch
}

TEST(ArchiveCommand, QuotesArgumentsTheWayTheyAreSplitAgain) {
    auto quoted = [](std::wstring_view arg) {
        std::wstring out;
        appendQuotedArgument(out, arg);
        return out;
    };
    EXPECT_EQ(quoted(L"C:\\my demos\\run.rar"), L"\"C:\\my demos\\run.rar\"");
    EXPECT_EQ(quoted(L"a\"b"), L"\"a\\\"b\"");
    EXPECT_EQ(quoted(L"a\\\"b"), L"\"a\\\\\\\"b\"");
    EXPECT_EQ(quoted(L"ends\\"), L"\"ends\\\\\"");
    EXPECT_EQ(quoted(L"a\\\\b"), L"\"a\\\\b\"");
    EXPECT_EQ(quoted(L""), L"\"\"");
    EXPECT_EQ(quoted(L"100% %PATH%"), L"\"100% %PATH%\"");
}

TEST(ArchiveCommand, ListingAndExtractionLines) {
    const auto list = listingCommand(L"C:\\Program Files\\WinRAR", L"C:\\demos\\pack.rar");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->program, L"C:\\Program Files\\WinRAR\\rar.exe");
    EXPECT_EQ(list->commandLine, L"\"C:\\Program Files\\WinRAR\\rar.exe\" vb -- \"C:\\demos\\pack.rar\"");

    const auto extract = extractionCommand(L"C:\\WinRAR\\", L"C:\\demos\\pack.rar", L"kz\\run.dem");
    ASSERT_TRUE(extract);
    EXPECT_EQ(extract->program, L"C:\\WinRAR\\rar.exe");
    EXPECT_EQ(extract->commandLine, L"\"C:\\WinRAR\\rar.exe\" x -av- -ep -- \"C:\\demos\\pack.rar\" \"kz\\run.dem\"");
}

TEST(ArchiveCommand, RefusesWhatDoesNotFitInsteadOfCuttingIt) {
    const std::wstring folder = L"C:\\WinRAR";
    const std::wstring prefix = L"\"C:\\WinRAR\\rar.exe\" vb -- \"\"";
    const std::wstring fits(kMaxArchiverCommandLine - prefix.size(), L'a');
    ASSERT_TRUE(listingCommand(folder, fits));
    EXPECT_EQ(listingCommand(folder, fits)->commandLine.size(), kMaxArchiverCommandLine);
    EXPECT_FALSE(listingCommand(folder, fits + L"a"));
    EXPECT_FALSE(extractionCommand(folder, std::wstring(259, L'p'), std::wstring(259, L'e')));
}

TEST(ArchiveCommand, RefusesProgramFoldersThatCannotBeQuoted) {
    EXPECT_FALSE(listingCommand(L"C:\\Win\"RAR", L"C:\\a.rar"));
    EXPECT_FALSE(listingCommand(std::wstring(L"C:\\W\0x", 6), L"C:\\a.rar"));
    EXPECT_FALSE(listingCommand(L"C:\\WinRAR", L""));
    EXPECT_FALSE(extractionCommand(L"C:\\WinRAR", L"C:\\a.rar", L""));
}

#ifdef _WIN32
std::vector<std::wstring> splitLikeWindows(const std::wstring& line) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> out(args, args + count);
    LocalFree(args);
    return out;
}

TEST(ArchiveCommand, CommandLineToArgvWGivesTheArgumentsBack) {
    const std::vector<std::wstring> tricky = {L"C:\\100% sure\\a b.rar", L"ends\\", L"q\"uote", L"back\\\\\"x",
                                              L"  spaced  ", L"tab\there"};
    for (const std::wstring& arg : tricky) {
        const auto cmd = extractionCommand(L"C:\\Program Files\\WinRAR", arg, L"kz\\run.dem");
        ASSERT_TRUE(cmd);
        const std::vector<std::wstring> split = splitLikeWindows(cmd->commandLine);
        ASSERT_EQ(split.size(), 7u);
        EXPECT_EQ(split[0], L"C:\\Program Files\\WinRAR\\rar.exe");
        EXPECT_EQ(split[1], L"x");
        EXPECT_EQ(split[4], L"--");
        EXPECT_EQ(split[5], arg);
        EXPECT_EQ(split[6], L"kz\\run.dem");
    }
}
#endif

TEST(ArchiverLocation, ValueMustFitWithItsTerminator) {
    std::vector<uint16_t> value(259, 'a');
    value.push_back(0);
    ASSERT_TRUE(archiverFolderFromValue(value));
    EXPECT_EQ(archiverFolderFromValue(value)->size(), 259u);
    value.pop_back();  // 259 characters that end with the data still fit
    EXPECT_EQ(archiverFolderFromValue(value)->size(), 259u);
    value.push_back('a');  // 260 characters and no room for a terminator
    EXPECT_FALSE(archiverFolderFromValue(value));
    value.push_back(0);
    EXPECT_FALSE(archiverFolderFromValue(value));
    const std::vector<uint16_t> folder = {'C', ':', '\\', 'W', 0, 'x'};
    EXPECT_EQ(archiverFolderFromValue(folder), L"C:\\W");
}

TEST(ArchiverLocation, TempFolderMustFit) {
    EXPECT_FALSE(tempFolderFits(0));
    EXPECT_TRUE(tempFolderFits(20));
    EXPECT_TRUE(tempFolderFits(260));
    EXPECT_FALSE(tempFolderFits(261));
}

}  // namespace
}  // namespace rw::app
