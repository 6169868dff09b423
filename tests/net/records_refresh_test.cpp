// The records refresh against a real HTTP server: which file ends up on disk
// and in the database, which message is left, and which requests were made.
// (Signed records: update_attack_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>

#include "recdata.h"
#include "records/records_file.h"
#include "update/records_refresh.h"
#include "test_server.h"

namespace rw {
namespace {

using test::Bytes;
using Maybe = std::optional<Bytes>;  // none: no file

constexpr const char* kServerFile = "intern/Runwarden/RecData.dat";
const std::string kList = "records list\nkz_a 01:02.33 player\nkz_c[pro] 00:59.00 x\n";

Bytes twoMaps(uint32_t revision, const char* more = "") {
    return test::recData("revision " + std::to_string(revision) +
                         "\nmap kz_b\nmode 0\nstart pattern 01\nmap KZ_A\nmode 0\nstop pattern 02\n" + more);
}
Bytes threeMaps(uint32_t revision) { return twoMaps(revision, "map kz_c\nmode 0\n"); }
// The body changed after the checksum was stored: a file that fails its check.
Bytes damaged(Bytes b) {
    b.back() ^= 0x5A;
    return b;
}
Bytes cutShort(Bytes b) {  // a name running past the end, under a right checksum
    b.insert(b.end(), {5, 'k', 'z'});
    return test::resealed(b);
}

TEST(RecordsRefresh, WhichFileWinsAndWhatIsSaid) {
    constexpr RecordsState loaded = RecordsState::loaded, rejected = RecordsState::rejected;
    test::TempDir dir;
    const Bytes newerFormat = test::recData("format 3\nrevision 90\nmap kz_c\nmode 0\n");
    Bytes oversizedCrc0 = test::recData("");  // too large to load; a stored 0 does not make it pass
    oversizedCrc0.resize(kRecordsMaxFileSize + 1);
    const struct {
        const char* what;
        Maybe server, local;
        std::wstring message;  // % stands for the quoted file name; empty: none
        Maybe after;           // the local file afterwards
        RecordsState state;
        size_t maps;
        int downloads;  // of the records file: its header, then the copy
    } rows[] = {
        {"equal headers", twoMaps(7), twoMaps(7), L"", twoMaps(7), loaded, 2, 1},
        {"same revision, other checksum", threeMaps(57), twoMaps(57), L"Updated file: % (57)", threeMaps(57), loaded, 3, 2},
        {"other revision", twoMaps(58), twoMaps(57), L"Updated file: % (58)", twoMaps(58), loaded, 2, 2},
        {"newer server format", newerFormat, twoMaps(5), L"", twoMaps(5), loaded, 2, 1},
        {"not restored from a newer format", newerFormat, damaged(twoMaps(5)), L"CRC32 error in file: %",
         damaged(twoMaps(5)), rejected, 0, 1},
        {"missing", twoMaps(9), {}, L"Restored file: %", twoMaps(9), loaded, 2, 2},
        {"damaged, same header", twoMaps(9), damaged(twoMaps(9)), L"Restored file: %", twoMaps(9), loaded, 2, 2},
        {"too short for a header", twoMaps(9), Bytes{1, 2, 3}, L"Restored file: %", twoMaps(9), loaded, 2, 2},
        {"header only, checksum 0", test::recData(""), test::recData(""), L"", test::recData(""), loaded, 0, 1},
        {"unreachable", {}, twoMaps(2), L"Unable to connect to update server!", twoMaps(2), loaded, 2, 0},
        // A damaged server copy never replaces the local file; restoring from
        // one ends in the checksum error, and the records list is not fetched.
        {"newer copy, wrong checksum", damaged(threeMaps(8)), twoMaps(7), L"Unable to connect to update server!",
         twoMaps(7), loaded, 2, 2},
        {"restore, cut short", cutShort(twoMaps(6)), {}, L"CRC32 error in file: %", {}, rejected, 0, 2},
        {"newer local format, right checksum", {}, newerFormat, L"CRC32 error in file: %", newerFormat, rejected, 0, 0},
        {"oversized, checksum 0", {}, oversizedCrc0, L"CRC32 error in file: %", oversizedCrc0, rejected, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        test::ServedFolder served;
        std::filesystem::remove(dir / "RecData.dat");
        if (r.local) dir.write("RecData.dat", *r.local);
        if (r.server) served.put(kServerFile, *r.server);
        served.put("demos_tcl.txt", kList);
        RecordsDatabase db(dir / "RecData.dat");
        std::wstring message = r.message;
        if (const size_t at = message.find(L'%'); at != std::wstring::npos)
            message.replace(at, 1, L"\"RecData.dat\"");
        const std::string url = r.server ? served.url(kServerFile) : test::deadUrl("/RecData.dat");
        EXPECT_EQ(refreshRecords(db, {url, served.url("demos_tcl.txt")}).message.value_or(L""), message);
        EXPECT_EQ(std::filesystem::exists(dir / "RecData.dat") ? Maybe(test::readAll(dir / "RecData.dat")) : Maybe(),
                  r.after);
        EXPECT_FALSE(std::filesystem::exists(dir / "RecData.dat.tmp"));
        EXPECT_EQ(db.state, r.state);
        EXPECT_EQ(db.records.size(), r.maps);
        const auto made = served.requests();
        EXPECT_EQ(std::count(made.begin(), made.end(), "VoZedida /" + std::string(kServerFile)), r.downloads);
        // The list is fetched and merged unless the file failed its check.
        const bool listed = std::count(made.begin(), made.end(), "RWUpdate /demos_tcl.txt") == 1;
        EXPECT_EQ(listed, r.state == RecordsState::loaded);
        EXPECT_EQ(db.runAt("kz_a", 0), r.maps > 0 ? "01:02.33 player" : "");
        EXPECT_EQ(db.runAt("kz_c", 0), r.maps == 3 ? "[pro] 00:59.00 x" : "");
    }
}

// A list past the 8 MiB limit is cut there; the line the cut ends is dropped.
TEST(RecordsRefresh, ListsPastTheLimitAreMergedUpToTheirLastWholeLine) {
    test::ServedFolder served;
    test::TempDir dir;
    served.put(kServerFile, twoMaps(1));
    dir.write("RecData.dat", twoMaps(1));
    const size_t limit = 8u << 20;
    std::string list = "records list\nkz_a early\n";
    list += std::string(limit - 7 - list.size(), 'z') + "\n";  // an overlong line, ending 6 bytes before the cap
    list += "kz_b cut-by-the-limit\nkz_a late\n";  // "kz_b c" is all that fits
    served.put("demos_tcl.txt", list);
    RecordsDatabase db(dir / "RecData.dat");
    std::optional<std::vector<uint8_t>> got;
    EXPECT_EQ(refreshRecords(db, {served.url(kServerFile), served.url("demos_tcl.txt")}, &got).message, std::nullopt);
    EXPECT_EQ(db.runAt("kz_a", 0), "early");
    EXPECT_EQ(db.runCount("kz_a") + db.runCount("kz_b"), 1u);
    EXPECT_EQ(got ? got->size() : 0, limit - 6);
}

}  // namespace
}  // namespace rw
