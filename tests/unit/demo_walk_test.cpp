#include "analysis/demo_walk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analysis/demo_format.h"
#include "analysis/demo_reader.h"
#include "demo_builder.h"
#include "failing_file.h"
#include "platform/file_system.h"
#include "temp_dir.h"

namespace rw {
namespace {

using demo::kFirstFrame;
using demo::kMessagesOffset;
using demo::kStartMarkerSize;
using test::Bytes;
using test::ClientState;
using test::DemoBuilder;
namespace msg = test::msg;

const Bytes kStart{0x5A, 0x01};
const Bytes kStop{0x5A, 0x02};

// A check with every status the walk published along the way.
struct Check {
    CheckResult result;
    std::vector<int32_t> statuses;
    Check() {
        result.repaint.fn = [](void* self) {
            auto* c = static_cast<Check*>(self);
            c->statuses.push_back(c->result.status());
        };
        result.repaint.context = this;
    }
    int32_t status() const { return result.status(); }
    std::wstring message() const { return std::wstring(result.messageText.view()); }
    std::wstring line(size_t k) const { return std::wstring(result.settingsLines[k].view()); }
};

std::unique_ptr<Check> run(const Bytes& demo, const RecordsDatabase* records = nullptr) {
    auto c = std::make_unique<Check>();
    checkDemoBytes(demo, records, c->result);
    return c;
}

std::unique_ptr<Check> run(const DemoBuilder& b, const RecordsDatabase* records = nullptr) {
    return run(b.bytes(), records);
}

std::wstring readErrorAt(int64_t position, int64_t length) {
    return L"Error reading demo at Pos: " + std::to_wstring(position) + L" with Offset: " + std::to_wstring(length);
}

// One map in a loaded database.
std::unique_ptr<RecordsDatabase> database(const std::string& name, uint8_t mode, std::vector<ByteString> start,
                                          std::vector<ByteString> stop, std::vector<bool> startKinds = {},
                                          std::vector<bool> stopKinds = {}) {
    auto db = std::make_unique<RecordsDatabase>();
    MapRecord m;
    m.name = name;
    m.mode = mode;
    m.startEntries = std::move(start);
    m.stopEntries = std::move(stop);
    m.startKinds = std::move(startKinds);
    m.stopKinds = std::move(stopKinds);
    db->records.push_back(std::move(m));
    db->state = 1;
    return db;
}

ClientState at(float time, uint8_t msec = 10) {
    ClientState s;
    s.time = time;
    s.msec = msec;
    return s;
}

// --- Header ---------------------------------------------------------------

TEST(DemoWalkHeader, MagicAndProtocol) {
    const std::wstring notDemo = L"File is not a HLDEMO!", old = L"Demo is recorded with an old protocol!",
                       unsupported = L"Demo is recorded with an unsupported protocol!";
    const struct {
        Bytes demo;
        int32_t status;
        std::wstring message;
    } rows[] = {
        {Bytes{}, -1, L"Opening file failed!"},
        {msg::text("HLDEM"), -2, notDemo},
        {msg::text("HLDEMO"), -2, notDemo},
        {msg::text("HLDEMOX"), -2, notDemo},
        {DemoBuilder().magic("HLDEMX\0\0").bytes(), -2, notDemo},
        {DemoBuilder().magic("HLDEMOX\0").bytes(), -2, notDemo},
        {DemoBuilder("m", 46).bytes(), -2, old},
        {DemoBuilder("m", 0).bytes(), -2, old},
        {msg::concat({msg::text("HLDEMO"), Bytes(4, 0)}), -2, old},  // cut before the protocol: reads as 0
        {DemoBuilder("m", 49).bytes(), -2, unsupported},
        {DemoBuilder("m", 0xFFFFFFFFu).bytes(), -2, unsupported},
        {DemoBuilder("m", 47).startMarker().startMarker().bytes(), 100, L""},
        {DemoBuilder("m", 48).startMarker().startMarker().bytes(), 100, L""},
        {DemoBuilder().bytes(), -2, readErrorAt(kFirstFrame, 0)},  // header only: runs off the end
    };
    for (const auto& r : rows) {
        auto c = run(r.demo);
        EXPECT_EQ(c->status(), r.status) << r.demo.size();
        EXPECT_EQ(c->message(), r.message) << r.demo.size();
    }
    test::TempDir dir;
    Check missing;
    checkDemoFile(dir / "missing.dem", false, nullptr, missing.result);
    EXPECT_EQ(missing.status(), -1);
}

TEST(DemoWalkHeader, MapNameIsLoweredAndPublishedWithStatusOne) {
    auto c = run(DemoBuilder("KZ_Cup_STORAGE").startMarker().startMarker());
    EXPECT_EQ(c->result.mapName.view(), L"kz_cup_storage");
    EXPECT_EQ(c->result.mapKeyView(), "kz_cup_storage");
    ASSERT_FALSE(c->statuses.empty());
    EXPECT_EQ(c->statuses.front(), 1);
}

// --- Frame layouts and the ends of the walk -----------------------------

TEST(DemoWalkFrames, EveryTypeIsSkippedByItsSize) {
    DemoBuilder b;
    b.startupFrame(msg::filler(30))
        .networkFrame(at(0.1f), msg::filler(17))
        .startMarker()
        .consoleCommand("+use")
        .clientData()
        .nextSection()
        .event()
        .weaponAnimation()
        .soundFrame(100)
        .demoBuffer(8)
        .networkFrame(at(0.2f), msg::filler(3))
        .demoBuffer(0)
        .networkFrame(at(0.3f))
        .demoBuffer(300)
        .startMarker();
    auto c = run(b);
    EXPECT_EQ(c->status(), 100) << c->message();
}

TEST(DemoWalkFrames, SoundFrameWithLength100Takes133Bytes) {
    DemoBuilder b;
    b.startMarker().soundFrame(100);
    const int64_t afterSound = static_cast<int64_t>(b.size());
    EXPECT_EQ(afterSound, kFirstFrame + kStartMarkerSize + 133);
    b.rawBytes(Bytes{10});
    // Position just after the bad type byte; the sample length is the last length read.
    EXPECT_EQ(run(b)->message(), readErrorAt(afterSound + 1, 100));
}

TEST(DemoWalkFrames, BadTypeInTheMiddleNamesThePositionAfterIt) {
    for (uint8_t bad : {10, 11, 0x80, 0xFF}) {
        DemoBuilder b;
        b.networkFrame(at(0), msg::filler(20)).startMarker().rawBytes(Bytes{bad}).startMarker();
        auto c = run(b);
        EXPECT_EQ(c->status(), -2);
        EXPECT_EQ(c->message(), readErrorAt(kFirstFrame + kMessagesOffset + 20 + kStartMarkerSize + 1, 20)) << int(bad);
    }
}

TEST(DemoWalkFrames, FramesEndingAtTheFileEndReportTheFileSize) {
    DemoBuilder b;
    b.startMarker().networkFrame(at(1), msg::filler(12)).consoleCommand("say hi");
    auto c = run(b);
    EXPECT_EQ(c->message(), readErrorAt(static_cast<int64_t>(b.size()), 12));
}

TEST(DemoWalkFrames, LengthBeyondTheFileIsReportedWhereItPoints) {
    DemoBuilder b;
    b.startMarker().clientFrameClaiming(1, at(1), msg::filler(10), 0xFFFFFFFFu);
    const int64_t expected = kFirstFrame + kStartMarkerSize + kMessagesOffset + 0xFFFFFFFFll;
    auto c = run(b);
    EXPECT_EQ(c->message(), readErrorAt(expected, 0xFFFFFFFFll));
    // The same before the start marker and in a type-0 frame.
    DemoBuilder early;
    early.clientFrameClaiming(0, at(0), msg::userInfo("P", "76561198000000000"), 0xFFFFFFF0u);
    auto e = run(early);
    EXPECT_EQ(e->message(), readErrorAt(kFirstFrame + kMessagesOffset + 0xFFFFFFF0ll, 0xFFFFFFF0ll));
    EXPECT_EQ(e->result.playerName.view(), L"P");  // the bytes that are there were still read
}

TEST(DemoWalkFrames, FrameCutInsideItsFixedPartEndsAtTheFileSize) {
    for (size_t keep : {1u, 100u, 472u, 476u}) {
        DemoBuilder b;
        b.soundFrame(7).startMarker().networkFrame(at(1), msg::filler(4));
        Bytes cut = b.bytes();
        cut.resize(cut.size() - 4 - kMessagesOffset + keep);
        auto c = run(cut);
        EXPECT_EQ(c->message(), readErrorAt(static_cast<int64_t>(cut.size()), 7)) << keep;
    }
    // A length field cut by the end of the file: a buffer frame (length at 9..12)
    // and a sound frame (length at 13..16), each keeping two bytes of it.
    Bytes buffer = DemoBuilder().startMarker().demoBuffer(8).bytes();
    buffer.resize(buffer.size() - 21 + 11);
    EXPECT_EQ(run(buffer)->message(), readErrorAt(static_cast<int64_t>(buffer.size()), 0));
    Bytes sound = DemoBuilder().soundFrame(3).startMarker().soundFrame(8).bytes();
    sound.resize(sound.size() - 41 + 15);
    EXPECT_EQ(run(sound)->message(), readErrorAt(static_cast<int64_t>(sound.size()), 3));
}

TEST(DemoWalkFrames, LanTestAfterTheStartMarker) {
    // Before the marker buffer frames may follow each other.
    auto before = run(DemoBuilder().demoBuffer().demoBuffer().demoBuffer().startMarker().startMarker());
    EXPECT_EQ(before->status(), 100);
    // After it, each needs a network frame since the previous one.
    auto fine = run(DemoBuilder().startMarker().demoBuffer().networkFrame().demoBuffer().startMarker());
    EXPECT_EQ(fine->status(), 100);
    auto online = run(DemoBuilder().startMarker().demoBuffer().demoBuffer().startMarker());
    EXPECT_EQ(online->status(), -2);
    EXPECT_EQ(online->message(), L"Demo was not recorded on lan server!");
    // A network frame before the marker counts for the first buffer frame after it.
    auto carried = run(DemoBuilder().demoBuffer().networkFrame().startMarker().demoBuffer().startMarker());
    EXPECT_EQ(carried->status(), 100);
}

TEST(DemoWalkFrames, FailedChecksLeaveTheVerdictTextsAlone) {
    Check c;
    c.result.runTimeText.assign(L"01:02.03");
    c.result.averageFpsText.assign(L"99.00");
    checkDemoBytes(DemoBuilder().startMarker().networkFrame(at(0, 5)).bytes(), nullptr, c.result);
    EXPECT_EQ(c.status(), -2);
    EXPECT_EQ(c.result.runTimeText.view(), L"01:02.03");
    EXPECT_EQ(c.result.averageFpsText.view(), L"99.00");
}

TEST(DemoWalkFrames, ProgressIsNeverZeroNorFinishedWhileWalking) {
    DemoBuilder b;
    b.startMarker();
    for (int k = 0; k < 3 * 1024; ++k) b.networkFrame(at(static_cast<float>(k)), msg::filler(600));
    b.startMarker();
    auto c = run(b);
    ASSERT_EQ(c->status(), 100);
    ASSERT_GE(c->statuses.size(), 4u);
    EXPECT_EQ(c->statuses.back(), 100);
    const std::vector<int32_t> walking(c->statuses.begin(), c->statuses.end() - 1);
    for (int32_t s : walking) EXPECT_TRUE(s >= 1 && s <= 99) << s;
    // About one report per MiB walked (the file is a little over 3 MiB).
    EXPECT_LE(walking.size(), 6u);
    // A frame that claims far more than the file holds still never shows 100 before the failure.
    DemoBuilder jump;
    jump.startMarker().clientFrameClaiming(1, at(0), {}, 5u << 20);
    auto j = run(jump);
    for (size_t k = 0; k + 1 < j->statuses.size(); ++k) EXPECT_TRUE(j->statuses[k] >= 1 && j->statuses[k] <= 99);
    EXPECT_EQ(j->status(), -2);
}

// --- Identity ---------------------------------------------------------------

TEST(DemoWalkIdentity, NameAndSteamIdFromStartupFrames) {
    Check c;
    c.result.playerName.assign(L"previous");
    c.result.steamId.valid = 1;
    checkDemoBytes(DemoBuilder().startMarker().startMarker().bytes(), nullptr, c.result);
    EXPECT_TRUE(c.result.playerName.empty());
    EXPECT_EQ(c.result.steamId.valid, 0);

    auto found = run(DemoBuilder()
                         .startupFrame(msg::text("\x0b nothing here"))
                         .startupFrame(msg::userInfo("Climber", "76561198000000001"))
                         .startMarker()
                         .startMarker());
    EXPECT_EQ(found->result.playerName.view(), L"Climber");
    EXPECT_EQ(found->result.steamId.text.view(), L"STEAM_0:1:19867136");
}

// --- Frame rates and settings -----------------------------------------------

// Highest rate beyond 100 and the average over the timed frames; 0 ms frames do not count.
TEST(DemoWalkRates, HighestAndAverage) {
    using Msecs = std::vector<uint8_t>;
    const struct {
        Msecs msecs;
        const wchar_t *highest, *average;
        float averageFps;
    } rows[] = {
        {{9, 10}, L"highest fps is 111", L"105.50", 105.5f},
        {{10}, L"", L"100.00", 100.0f},
        {{6, 30}, L"highest fps is 166", L"99.50", 99.5f},  // 166 + 33 over two frames
        {{0, 10}, L"", L"100.00", 100.0f},
        {{0}, L"", L"0.00", 0.0f},
    };
    for (const auto& r : rows) {
        DemoBuilder b;
        b.startMarker();
        for (uint8_t ms : r.msecs) b.networkFrame(at(0, ms));
        auto c = run(b.startMarker());
        EXPECT_EQ(c->status(), 100);
        EXPECT_EQ(c->line(0), r.highest);
        EXPECT_EQ(c->result.averageFpsText.view(), r.average);
        EXPECT_FLOAT_EQ(c->result.averageFps, r.averageFps);
    }
}

TEST(DemoWalkRates, FramesBeforeTheStartMarkerDoNotCount) {
    ClientState wrong = at(0, 1);
    wrong.gravity = 100.0f;
    wrong.footsteps = 0;
    auto c = run(DemoBuilder().networkFrame(wrong).networkFrame(wrong).startMarker().networkFrame(at(1)).startMarker());
    EXPECT_EQ(c->result.averageFpsText.view(), L"100.00");
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(c->line(k), L"") << k;
}

TEST(DemoWalkSettings, EachWrongSettingHasItsLine) {
    struct Case {
        void (*spoil)(ClientState&);
        size_t line;
        const wchar_t* message;
    };
    const Case cases[] = {
        {[](ClientState& s) { s.gravity = 800.5f; }, 1, L"sv_gravity is not correct"},
        {[](ClientState& s) { s.airAcceleration = 100.0f; }, 2, L"sv_airacceleration is not correct"},
        {[](ClientState& s) { s.maxSpeed = 250.0f; }, 3, L"sv_maxspeed is not correct"},
        {[](ClientState& s) { s.stepSize = 18.0001f; }, 4, L"sv_stepsize is not correct"},
        {[](ClientState& s) { s.maxVelocity = std::nanf(""); }, 5, L"sv_maxvelocity is not correct"},
        {[](ClientState& s) { s.edgeFriction = 1.0f; }, 6, L"edgefriction is not correct"},
        {[](ClientState& s) { s.footsteps = 0; }, 7, L"mp_footsteps is not correct"},
    };
    for (const Case& k : cases) {
        ClientState s = at(0);
        k.spoil(s);
        auto c = run(DemoBuilder().startMarker().networkFrame(at(0)).networkFrame(s).networkFrame(at(0)).startMarker());
        for (size_t line = 0; line < 8; ++line) {
            EXPECT_EQ(c->line(line), line == k.line ? k.message : L"") << k.message << " line " << line;
        }
    }
}

// --- The timed run ----------------------------------------------------------

class DemoWalkRun : public ::testing::Test {
protected:
    static Bytes press(const Bytes& entry) {
        return msg::concat({msg::filler(3, 0), msg::buttonPattern66(entry), msg::filler(4, 0)});
    }
    // Filler frames so that the next frame starts exactly at the given place.
    static void padTo(DemoBuilder& b, size_t start) {
        while (b.size() + 2 * (kMessagesOffset + 1000) < start) b.networkFrame(at(1.0f), msg::filler(1000));
        b.networkFrame(at(1.0f), msg::filler(start - b.size() - kMessagesOffset));
        ASSERT_EQ(b.size(), start);
    }
};

TEST_F(DemoWalkRun, Mode0StartsAndStopsOnTheButtons) {
    auto db = database("kz_test", 0, {kStart}, {kStop});
    DemoBuilder b("kz_test");
    b.startMarker()
        .networkFrame(at(5.0f, 5))
        .networkFrame(at(10.0f), press(kStart))
        .networkFrame(at(20.0f))
        .networkFrame(at(93.456f), press(kStop))
        .rawBytes(Bytes{0xFF});  // never reached: the walk ends at the stop press
    auto c = run(b, db.get());
    ASSERT_EQ(c->status(), 100) << c->message();
    EXPECT_EQ(c->result.runTimeText.view(), L"01:23.45");
    // The start frame is not counted, the 5 ms frame before it neither.
    EXPECT_EQ(c->result.averageFpsText.view(), L"100.00");
    EXPECT_EQ(c->line(0), L"");
}

// The window reads the board while checks publish to it: every snapshot is
// one whole published state (ThreadSanitizer sees any field read while written).
TEST_F(DemoWalkRun, PublishedResultReadWhileChecksRun) {
    auto db = database("kz_test", 0, {kStart}, {kStop});
    DemoBuilder b("kz_test");
    b.startupFrame(msg::userInfo("Climber", "76561198000000001"))
        .startMarker()
        .networkFrame(at(10.0f), press(kStart))
        .networkFrame(at(93.456f), press(kStop));
    ResultBoard board;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int k = 0; k < 200; ++k) {
            CheckResult result;
            result.board = &board;
            checkDemoBytes(b.bytes(), db.get(), result);
        }
        done = true;
    });
    size_t finishedSeen = 0;
    while (!done) {
        const ResultSnapshot shown = board.snapshot();
        if (shown.status == status::finished) {
            ++finishedSeen;
            ASSERT_EQ(shown.fields.runTimeText.view(), L"01:23.45");
            ASSERT_EQ(shown.fields.playerName.view(), L"Climber");
        } else if (shown.status >= 1 && shown.status <= 99) {
            ASSERT_TRUE(shown.fields.runTimeText.empty());
        }
    }
    worker.join();
    EXPECT_EQ(board.status(), status::finished);
    EXPECT_EQ(board.snapshot().fields.mapKeyView(), "kz_test");
}

TEST_F(DemoWalkRun, CupStorageTimeAndCapitalMapName) {
    auto db = database("kz_cup_storage", 0, {kStart}, {kStop});
    DemoBuilder b("KZ_CUP_Storage");
    b.startMarker().networkFrame(at(2.0f), press(kStart)).networkFrame(at(74.5f), press(kStop));
    EXPECT_EQ(run(b, db.get())->result.runTimeText.view(), L"01:07.50");
}

TEST_F(DemoWalkRun, StopEntriesDoNotStartAndUnknownMapsNeverRun) {
    auto db = database("kz_test", 0, {kStart}, {kStop});
    auto timeOf = [&](const char* map, const Bytes& first) {
        DemoBuilder b(map);
        b.startMarker().networkFrame(at(1.0f), press(first)).networkFrame(at(2.0f), press(kStop)).startMarker();
        auto c = run(b, db.get());
        EXPECT_EQ(c->status(), 100);
        return std::wstring(c->result.runTimeText.view());
    };
    EXPECT_EQ(timeOf("kz_test", kStop), L"--:--.--");
    EXPECT_EQ(timeOf("kz_other", kStart), L"--:--.--");
    EXPECT_EQ(timeOf("kz_test", kStart), L"00:01.00");
    db->state = 0;  // a database that is not loaded is not consulted
    EXPECT_EQ(timeOf("kz_test", kStart), L"--:--.--");
}

// A wrong frame before the start, or the start frame itself, is forgiven; one
// inside the run or on the stop frame is reported.
TEST_F(DemoWalkRun, SettingsWrongOnlyBeforeTheStartAreForgiven) {
    auto db = database("kz_test", 0, {kStart}, {kStop});
    auto wrongAt = [](float time, uint8_t msec) {
        ClientState s = at(time, msec);
        s.gravity = 400.0f;
        return s;
    };
    enum Where { before, onStart, inside, onStop };
    const struct {
        Where where;
        const wchar_t *highest, *gravity;  // highest nullptr: not checked
    } rows[] = {
        {before, L"", L""},
        {onStart, nullptr, L""},
        {inside, L"highest fps is 250", L"sv_gravity is not correct"},
        {onStop, nullptr, L"sv_gravity is not correct"},
    };
    for (const auto& r : rows) {
        DemoBuilder b("kz_test");
        b.startMarker();
        if (r.where == before) b.networkFrame(wrongAt(1.0f, 4));
        b.networkFrame(r.where == onStart ? wrongAt(2.0f, 10) : at(2.0f), press(kStart));
        if (r.where == inside) b.networkFrame(wrongAt(2.5f, 4));
        b.networkFrame(r.where == onStop ? wrongAt(3.0f, 10) : at(3.0f), press(kStop));
        auto c = run(b, db.get());
        if (r.highest) {
            EXPECT_EQ(c->line(0), r.highest) << r.where;
        }
        EXPECT_EQ(c->line(1), r.gravity) << r.where;
    }
}

TEST_F(DemoWalkRun, PressesInFramesAcrossTheReadersWindowEdges) {
    constexpr size_t MiB = 1u << 20;
    auto db = database("kz_test", 0, {kStart}, {kStop});
    DemoBuilder b("kz_test");
    b.startMarker();
    padTo(b, MiB - 500);  // fixed part before the first edge, messages across it
    b.networkFrame(at(3.0f), msg::concat({msg::filler(900), press(kStart)}));
    padTo(b, 2 * MiB - 100);  // the fixed part itself across the second edge
    b.networkFrame(at(9.5f), msg::concat({msg::filler(900), press(kStop)}));
    b.rawBytes(Bytes{0xFF});
    auto c = run(b, db.get());
    const std::wstring message = c->message();  // one string for both iterators
    ASSERT_EQ(c->status(), 100) << std::string(message.begin(), message.end());
    EXPECT_EQ(c->result.runTimeText.view(), L"00:06.50");
}

// A read that fails ends the check with the read error where the walk stood,
// never with a verdict, even when the bytes before the failure hold the press
// that would finish the run.
TEST_F(DemoWalkRun, FailedReadEndsTheCheckWithTheReadError) {
    auto db = database("kz_test", 0, {kStart}, {kStop});
    DemoBuilder b("kz_test");
    b.startMarker().networkFrame(at(1.0f), press(kStart));
    const size_t stopFrame = b.size();
    const Bytes stopBlock = msg::concat({press(kStop), msg::filler(3000)});
    b.networkFrame(at(2.0f), stopBlock).startMarker();
    const struct {
        int64_t failFrom;
        std::wstring message;
    } cases[] = {
        {3, readErrorAt(0, 0)},
        {static_cast<int64_t>(stopFrame + kMessagesOffset + 1000),
         readErrorAt(static_cast<int64_t>(b.size() - kStartMarkerSize), static_cast<int64_t>(stopBlock.size()))},
    };
    for (const auto& k : cases) {
        Check c;
        checkDemo(std::make_unique<test::FailingFile>(platform::openMemoryFile(b.bytes()), k.failFrom), db.get(),
                  c.result);
        EXPECT_EQ(c.status(), -2) << k.failFrom;
        EXPECT_EQ(c.message(), k.message) << k.failFrom;
    }
}

#ifndef _WIN32
// Elsewhere than on Windows another program may cut the file while it is
// checked. The reader's buffer for the window past the cut still holds the
// demo's first MiB, whose start marker would end the walk where the frames of
// the lost window begin.
TEST_F(DemoWalkRun, FileCutWhileCheckedEndsWithTheReadError) {
    constexpr size_t MiB = DemoReader::chunk;
    DemoBuilder b;
    b.startMarker();
    padTo(b, 2 * MiB + kFirstFrame);
    b.networkFrame(at(5.0f)).startMarker();
    test::TempDir dir;
    for (platform::ReadThread mode : {platform::ReadThread::never, platform::ReadThread::always}) {
        const auto path = dir.write("cut.dem", b.bytes());
        Check whole;
        checkDemo(platform::openAsyncFile(path, mode), nullptr, whole.result);
        EXPECT_EQ(whole.status(), 100);
        Check cut;
        std::unique_ptr<platform::AsyncFile> file = platform::openAsyncFile(path, mode);
        std::filesystem::resize_file(path, 2 * MiB);
        checkDemo(std::move(file), nullptr, cut.result);
        EXPECT_EQ(cut.status(), -2);
        const std::wstring message = cut.message();
        EXPECT_EQ(message.rfind(L"Error reading demo at Pos: " + std::to_wstring(2 * MiB + kFirstFrame) + L" ", 0), 0u)
            << std::string(message.begin(), message.end());
    }
}
#endif

TEST_F(DemoWalkRun, UseGatesTheDetectorInModes1To3) {
    for (uint8_t mode : {1, 2}) {
        auto db = database("kz_test", mode, {kStart}, {kStop});
        auto pressFor = [&](const Bytes& e) {
            return mode == 2 ? msg::concat({msg::buttonPattern67(e), msg::filler(3)}) : press(e);
        };
        // Without "+use" the detector never runs.
        DemoBuilder none("kz_test");
        none.startMarker().networkFrame(at(1), pressFor(kStart)).networkFrame(at(2), pressFor(kStop)).startMarker();
        EXPECT_EQ(run(none, db.get())->result.runTimeText.view(), L"--:--.--") << int(mode);
        // "+use" lets the next network frame try once.
        DemoBuilder used("kz_test");
        used.startMarker()
            .consoleCommand("+use")
            .networkFrame(at(1), pressFor(kStart))
            .consoleCommand("+use")
            .networkFrame(at(3.5f), pressFor(kStop));
        EXPECT_EQ(run(used, db.get())->result.runTimeText.view(), L"00:02.50") << int(mode);
        // The attempt is used up by a frame without the press.
        DemoBuilder spent("kz_test");
        spent.startMarker().consoleCommand("+use").networkFrame(at(1)).networkFrame(at(2), pressFor(kStart));
        spent.consoleCommand("+use").networkFrame(at(3), pressFor(kStop)).startMarker();
        EXPECT_EQ(run(spent, db.get())->result.runTimeText.view(), L"--:--.--") << int(mode);
        // Only "+use" itself counts.
        DemoBuilder other("kz_test");
        other.startMarker().consoleCommand("+usex").networkFrame(at(1), pressFor(kStart));
        other.consoleCommand("+use").networkFrame(at(3), pressFor(kStop)).startMarker();
        EXPECT_EQ(run(other, db.get())->result.runTimeText.view(), L"--:--.--") << int(mode);
    }
}

TEST_F(DemoWalkRun, Mode3PositionsWithTheSelectSoundFromTheResourceList) {
    auto db = database("kz_test", 3, {msg::positionEntry(100, 200, -50)}, {msg::positionEntry(-3000, 0, 0)}, {false},
                       {false});
    auto sound = [](int index) {
        return msg::concat({msg::filler(2, 0), msg::buttonSoundFor(index), msg::filler(3, 0)});
    };
    ClientState nearStart = at(4.0f);
    nearStart.origin = {264.9f, 200.0f, -50.0f};
    ClientState nearStop = at(70.25f);
    nearStop.origin = {-3100.0f, 10.0f, 0.5f};
    DemoBuilder b("kz_test");
    b.startupFrame(msg::soundResources(412))
        .startMarker()
        .consoleCommand("+use")
        .networkFrame(nearStart, sound(413))  // another sound: no start
        .consoleCommand("+use")
        .networkFrame(nearStart, sound(412))
        .networkFrame(nearStop, sound(412))  // no "+use": not tried
        .consoleCommand("+use")
        .networkFrame(nearStop, sound(412));
    auto c = run(b, db.get());
    ASSERT_EQ(c->status(), 100) << c->message();
    EXPECT_EQ(c->result.runTimeText.view(), L"01:06.25");
}

TEST_F(DemoWalkRun, Mode3OriginIsTakenOnlyFromFramesAfterUse) {
    auto db = database("kz_test", 3, {msg::positionEntry(0, 0, 0)}, {kStop}, {false}, {true});
    ClientState far = at(1.0f);
    far.origin = {5000.0f, 0, 0};
    ClientState near = at(2.0f);
    DemoBuilder b("kz_test");
    // The near frame comes without "+use", so the far origin of the last "+use" frame stays.
    const Bytes sound = msg::concat({msg::filler(2, 0), msg::buttonSoundFor(0), msg::filler(3, 0)});
    b.startMarker().consoleCommand("+use").networkFrame(far).networkFrame(near).consoleCommand("+use");
    b.networkFrame(far, sound).startMarker();
    EXPECT_EQ(run(b, db.get())->result.runTimeText.view(), L"--:--.--");
}

// --- Files taken out of an archive -------------------------------------------

TEST(DemoWalkFiles, ExtractedDemoIsDeletedOnEveryWayOut) {
    test::TempDir dir;
    const std::vector<Bytes> demos = {
        DemoBuilder().startMarker().startMarker().bytes(),              // finished
        msg::text("not a demo"),                                        // not HLDEMO
        DemoBuilder("m", 46).bytes(),                                   // old protocol
        DemoBuilder().startMarker().rawBytes(Bytes{42}).bytes(),        // read error
        DemoBuilder().startMarker().demoBuffer().demoBuffer().bytes(),  // not LAN
        Bytes{},                                                        // empty: cannot be opened
    };
    for (size_t k = 0; k < demos.size(); ++k) {
        const auto path = dir.write("extracted" + std::to_string(k) + ".dem", demos[k]);
        Check c;
        checkDemoFile(path, true, nullptr, c.result);
        EXPECT_FALSE(platform::fileExists(path)) << k;
        EXPECT_NE(c.status(), 0);
    }
    // A demo the user chose directly stays.
    const auto kept = dir.write("kept.dem", demos[0]);
    Check c;
    checkDemoFile(kept, false, nullptr, c.result);
    EXPECT_EQ(c.status(), 100);
    EXPECT_TRUE(platform::fileExists(kept));
}

TEST(DemoName, FileNameWithoutFolderAndExtension) {
    EXPECT_EQ(demoNameFromPath(L"C:\\demos\\kz_run.dem"), L"kz_run");
    EXPECT_EQ(demoNameFromPath(L"/tmp/x/kz_run.dem"), L"kz_run");
    EXPECT_EQ(demoNameFromPath(L"C:\\a/b\\run.DEM"), L"run");
    EXPECT_EQ(demoNameFromPath(L"run.dem"), L"run");
    EXPECT_EQ(demoNameFromPath(L"C:\\x\\.de"), L"");
}

}  // namespace
}  // namespace rw
