// The records refresh against a real HTTP server: which file ends up on disk
// and in the database, which message is left, and which requests were made.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "recdata.h"
#include "records/records_file.h"
#include "records/records_refresh.h"
#include "temp_dir.h"
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
std::string deadUrl() { return test::deadUrl("/RecData.dat"); }
Bytes cutShort(Bytes b) {  // a name running past the end, under a right checksum
    b.insert(b.end(), {5, 'k', 'z'});
    return test::resealed(b);
}
Bytes withFormat3(Bytes b) {
    b[4] = 3;
    return b;
}
Bytes oversized(Bytes b) {  // past 1 MiB, never loaded; the header is kept
    b.resize(kRecordsMaxFileSize + 1);
    return b;
}

TEST(RecordsRefresh, WhichFileWinsAndWhatIsSaid) {
    test::ServedFolder served;
    test::TempDir dir;
    const struct {
        const char* what;
        Maybe server, local;
        std::wstring message;  // % stands for the quoted file name; empty: none
        Maybe after;           // the local file afterwards
        int32_t state;
        size_t maps;
        int downloads;  // of the records file: its header, then the copy
        std::string url = "";  // instead of the served file
    } rows[] = {
        {"equal headers", twoMaps(7), twoMaps(7), L"", twoMaps(7), 1, 2, 1},
        {"same revision, other checksum", threeMaps(57), twoMaps(57), L"Updated file: % (57)", threeMaps(57), 1, 3, 2},
        {"other revision", twoMaps(58), twoMaps(57), L"Updated file: % (58)", twoMaps(58), 1, 2, 2},
        {"newer server format", withFormat3(threeMaps(90)), twoMaps(5), L"", twoMaps(5), 1, 2, 1},
        {"not restored from a newer format", withFormat3(threeMaps(90)), damaged(twoMaps(5)), L"CRC32 error in file: %",
         damaged(twoMaps(5)), -1, 0, 1},
        {"missing", twoMaps(9), {}, L"Restored file: %", twoMaps(9), 1, 2, 2},
        {"damaged, same header", twoMaps(9), damaged(twoMaps(9)), L"Restored file: %", twoMaps(9), 1, 2, 2},
        {"too short for a header", twoMaps(9), Bytes{1, 2, 3}, L"Restored file: %", twoMaps(9), 1, 2, 2},
        {"oversized", twoMaps(3), oversized(twoMaps(3)), L"Restored file: %", twoMaps(3), 1, 2, 2},
        {"header only, checksum 0", test::recData(""), test::recData(""), L"", test::recData(""), 1, 0, 1},
        {"unreachable", {}, twoMaps(2), L"Unable to connect to update server!", twoMaps(2), 1, 2, 0, deadUrl()},
        {"unreachable, damaged", {}, damaged(twoMaps(2)), L"CRC32 error in file: %", damaged(twoMaps(2)), -1, 0, 0,
         deadUrl()},
        {"unreachable, missing", {}, {}, L"Unable to connect to update server!", {}, 1, 0, 0, deadUrl()},
        // A damaged server copy never replaces the local file; restoring from
        // one ends in the checksum error, and the records list is not fetched.
        {"newer copy, wrong checksum", damaged(threeMaps(8)), twoMaps(7), L"Unable to connect to update server!",
         twoMaps(7), 1, 2, 2},
        {"newer copy, cut short", cutShort(twoMaps(8)), twoMaps(7), L"Unable to connect to update server!", twoMaps(7),
         1, 2, 2},
        {"restore, wrong checksum", damaged(twoMaps(6)), damaged(twoMaps(6)), L"CRC32 error in file: %",
         damaged(twoMaps(6)), -1, 0, 2},
        {"restore, cut short", cutShort(twoMaps(6)), {}, L"CRC32 error in file: %", {}, -1, 0, 2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::filesystem::remove(dir / "RecData.dat");
        std::filesystem::remove(served.dir() / kServerFile);
        if (r.local) dir.write("RecData.dat", *r.local);
        if (r.server) served.put(kServerFile, *r.server);
        served.put("demos_tcl.txt", kList);
        const size_t before = served.requests().size();
        RecordsDatabase db(dir / "RecData.dat");
        std::wstring message = r.message;
        if (const size_t at = message.find(L'%'); at != std::wstring::npos)
            message.replace(at, 1, quotedFileName(db.fileName));
        EXPECT_EQ(refreshRecords(db, {r.url.empty() ? served.url(kServerFile) : r.url, served.url("demos_tcl.txt")})
                      .value_or(L""),
                  message);
        EXPECT_EQ(std::filesystem::exists(dir / "RecData.dat") ? Maybe(test::readAll(dir / "RecData.dat")) : Maybe(),
                  r.after);
        EXPECT_FALSE(std::filesystem::exists(dir / "RecData.dat.part"));
        EXPECT_EQ(db.state, r.state);
        EXPECT_EQ(db.records.size(), r.maps);
        const auto log = served.requests();
        const std::vector<std::string> made(log.begin() + static_cast<std::ptrdiff_t>(before), log.end());
        EXPECT_EQ(std::count(made.begin(), made.end(), "VoZedida /" + std::string(kServerFile)), r.downloads);
        // The list is fetched and merged unless the file failed its check.
        const bool listed = std::count(made.begin(), made.end(), "RWUpdate /demos_tcl.txt") == 1;
        EXPECT_EQ(listed, r.state == 1);
        EXPECT_EQ(db.runAt("kz_a", 0), r.maps > 0 ? "01:02.33 player" : "");
        EXPECT_EQ(db.runAt("kz_c", 0), r.maps == 3 ? "[pro] 00:59.00 x" : "");
    }
}

TEST(RecordsRefresh, ListsOverEightMebibytesAreMergedUpToTheirLastWholeLine) {
    test::ServedFolder served;
    test::TempDir dir;
    served.put(kServerFile, twoMaps(1));
    dir.write("RecData.dat", twoMaps(1));
    const size_t limit = 8u << 20;
    std::string list = "records list\nkz_a early\n";
    list += std::string(limit - 7 - list.size(), 'z') + "\n";  // an overlong line, ending 6 bytes before the cap
    list += "kz_b cut-by-the-limit\nkz_a late\n";  // "kz_b c" is all that fits: a line, were it not dropped
    served.put("demos_tcl.txt", list);
    for (const bool reachable : {true, false}) {
        RecordsDatabase db(dir / "RecData.dat");
        std::optional<std::vector<uint8_t>> got;
        const RecordsSources sources{served.url(kServerFile), reachable ? served.url("demos_tcl.txt") : deadUrl()};
        EXPECT_EQ(refreshRecords(db, sources, &got), std::nullopt);  // an unreachable list says nothing
        EXPECT_EQ(db.state, 1);
        EXPECT_EQ(db.runCount("kz_a"), reachable ? 1u : 0u);
        EXPECT_EQ(db.runAt("kz_a", 0), reachable ? "early" : "");
        EXPECT_EQ(db.runCount("kz_b"), 0u);
        EXPECT_EQ(got ? got->size() : 0, reachable ? limit - 6 : 0);
    }
}

}  // namespace
}  // namespace rw
