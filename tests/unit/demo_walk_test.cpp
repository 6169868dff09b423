#include "analysis/demo_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "analysis/demo_format.h"
#include "analysis/demo_reader.h"
#include "analysis/run_graph.h"
#include "app/records_hand_over.h"
#include "demo_builder.h"
#include "platform/async_file.h"
#include "platform/file_system.h"
#include "recdata.h"
#include "recording_host.h"
#include "temp_dir.h"

namespace rw {
namespace {

using namespace demo;
using test::Bytes;
using test::checkDemoBytes;
using test::ClientState;
using test::DemoBuilder;
namespace msg = test::msg;

const Bytes kStart{0x5A, 0x01};
const Bytes kStop{0x5A, 0x02};
constexpr size_t MiB = DemoReader::chunk;

std::wstring readErrorAt(int64_t position, int64_t length) {
    return L"Error reading demo at Pos: " + std::to_wstring(position) + L" with Offset: " + std::to_wstring(length);
}

// A loaded database of one map.
RecordsDatabase database(uint8_t mode, std::vector<ByteString> start, std::vector<ByteString> stop,
                         std::vector<bool> startKinds = {}, std::vector<bool> stopKinds = {}) {
    RecordsDatabase db;
    db.records = {MapRecord{.name = "kz_test", .mode = mode, .startEntries = std::move(start),
                            .stopEntries = std::move(stop), .startKinds = std::move(startKinds),
                            .stopKinds = std::move(stopKinds)}};
    db.state = RecordsState::loaded;
    return db;
}

ClientState at(float time, uint8_t msec = 10, void (*spoil)(ClientState&) = nullptr) {
    ClientState s{.time = time, .msec = msec};
    if (spoil) spoil(s);
    return s;
}

// A message block holding a button press: 06 06 (or 06 07 for mode 2) and the entry.
Bytes press(const Bytes& entry, uint8_t second = 6) {
    return msg::concat({msg::filler(3, 0), msg::buttonPattern(second, entry), msg::filler(4, 0)});
}

// Filler frames so that the next frame starts exactly at the given place.
DemoBuilder& padTo(DemoBuilder& b, size_t start) {
    while (b.size() + 2 * (kMessagesOffset + 1000) < start) b.networkFrame(at(1.0f), msg::filler(1000));
    return b.networkFrame(at(1.0f), msg::filler(start - b.size() - kMessagesOffset));
}

// How the walk ends on the header and on frames of every layout: the status,
// and for a read error where the walk stood and the length field read last.
TEST(DemoWalk, HeaderAndFrameLayouts) {
    Bytes soundCut = DemoBuilder().frame(kSoundFrame, 3).startMarker().frame(kSoundFrame, 8).bytes();
    soundCut.resize(soundCut.size() - 26);  // inside the last frame's length field
    const struct {
        const char* what;
        Bytes demo;
        int32_t status;
        std::wstring message;
    } rows[] = {
        {"empty", Bytes{}, -1, L"Opening file failed!"},
        {"seventh byte", msg::text("HLDEMOX"), -2, L"File is not a HLDEMO!"},
        {"protocol 46", DemoBuilder("m", 46).bytes(), -2, L"Demo is recorded with an old protocol!"},
        {"protocol 49", DemoBuilder("m", 49).bytes(), -2, L"Demo is recorded with an unsupported protocol!"},
        {"protocol 47", DemoBuilder("m", 47).startMarker().startMarker().bytes(), 100, L""},
        {"header only", DemoBuilder().bytes(), -2, readErrorAt(kFirstFrame, 0)},
        {"every type is skipped by its size",
         DemoBuilder().startupFrame(msg::filler(30)).networkFrame(at(0.1f), msg::filler(17)).startMarker()
             .consoleCommand("+use").frame(kClientData).frame(kNextSection).frame(kEvent).frame(kWeaponAnimation)
             .frame(kSoundFrame, 100).demoBuffer(8).networkFrame(at(0.2f), msg::filler(3)).demoBuffer(0)
             .networkFrame(at(0.3f)).demoBuffer(300).startMarker().bytes(), 100, L""},
        {"bad type after sound", DemoBuilder().startMarker().frame(kSoundFrame, 100).rawBytes(Bytes{10}).bytes(),
         -2, readErrorAt(kFirstFrame + kStartMarkerSize + 133 + 1, 100)},  // 33 + 100 bytes of sound frame
        {"cut inside a sound frame's length", soundCut, -2, readErrorAt(static_cast<int64_t>(soundCut.size()), 3)},
        // After the start marker each buffer frame needs a network frame since
        // the previous one; one before the marker counts for the first after it.
        {"before the marker", DemoBuilder().demoBuffer().demoBuffer().startMarker().startMarker().bytes(), 100, L""},
        {"after the marker", DemoBuilder().startMarker().demoBuffer().demoBuffer().startMarker().bytes(),
         -2, L"Demo was not recorded on lan server!"},
        {"network frame carried over the marker",
         DemoBuilder().demoBuffer().networkFrame().startMarker().demoBuffer().startMarker().bytes(), 100, L""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        CheckResult result;
        checkDemoBytes(r.demo, nullptr, result);
        EXPECT_EQ(result.status(), r.status);
        EXPECT_EQ(result.messageText.view(), r.message);
    }
}

// Progress shows once per MiB walked, as the percentage walked, and never
// reaches the finished code before the walk is over.
TEST(DemoWalk, ProgressOncePerMiB) {
    DemoBuilder b;
    padTo(b.startMarker(), 3 * MiB + 512).startMarker();
    struct Seen {
        CheckResult result;
        std::vector<int32_t> codes;
    } seen;
    seen.result.repaint = {[](void* c) { static_cast<Seen*>(c)->codes.push_back(static_cast<Seen*>(c)->result.status()); }, &seen};
    checkDemoBytes(b.bytes(), nullptr, seen.result);
    EXPECT_EQ(seen.codes, (std::vector<int32_t>{1, 1, 33, 66, 99, 100}));
}

// A failed check clears what an earlier one found but leaves the verdict texts alone.
TEST(DemoWalk, FailedCheckClearsWhatWasFound) {
    CheckResult result;
    result.playerName.assign(L"previous");
    result.runTimeText.assign(L"01:02.03");
    checkDemoBytes(DemoBuilder().startMarker().networkFrame(at(0, 5)).bytes(), nullptr, result);
    EXPECT_TRUE(result.playerName.empty());
    EXPECT_EQ(result.runTimeText.view(), L"01:02.03");
}

// The verdicts of walks that finish: the run time, the average and highest
// frame rate over the timed frames (0 ms frames do not count), and the wrong
// settings, each on its line; nothing before the run counts.
TEST(DemoWalk, Verdicts) {
    const RecordsDatabase db0 = database(0, {kStart}, {kStop}), db1 = database(1, {kStart}, {kStop}),
                          db2 = database(2, {kStart}, {kStop}),
                          positions = database(3, {msg::positionEntry(100, 200, -50)}, {msg::positionEntry(-3000, 0, 0)},
                                               {false}, {false}),
                          originAfterUse = database(3, {msg::positionEntry(0, 0, 0)}, {kStop}, {false}, {true});
    RecordsDatabase cup = db0, notLoaded = db0;
    cup.records[0].name = "kz_cup_storage";
    notLoaded.state = RecordsState::notLoaded;
    auto frames = [](std::vector<ClientState> states) {
        DemoBuilder b;
        b.startMarker();
        for (const ClientState& s : states) b.networkFrame(s);
        return b.startMarker().bytes();
    };
    void (*wrongGravity)(ClientState&) = [](ClientState& s) { s.gravity = 400; };
    auto timed = [](const char* map, const Bytes& first, void (*onFirst)(ClientState&) = nullptr,
                    void (*onStop)(ClientState&) = nullptr) {
        return DemoBuilder(map).startMarker().networkFrame(at(1, 10, onFirst), press(first))
            .networkFrame(at(2, 10, onStop), press(kStop)).startMarker().bytes();
    };
    // Modes 1 and 2 try the detector on the network frame after a "+use" only.
    auto used = [](uint8_t mode, const char* use1, const char* use2, bool spend) {
        DemoBuilder b("kz_test");
        b.startMarker().consoleCommand(use1);
        if (spend) b.networkFrame(at(0.5f));
        const uint8_t second = mode == 2 ? 7 : 6;
        return b.networkFrame(at(1), press(kStart, second)).consoleCommand(use2)
            .networkFrame(at(3.5f), press(kStop, second)).startMarker().bytes();
    };
    // Mode 3: the select sound's index comes from the resource list, the
    // origin from the frames after "+use".
    auto heard = [](int index) { return msg::concat({msg::filler(2, 0), msg::buttonSoundFor(index), msg::filler(3, 0)}); };
    const ClientState nearStart{.time = 4.0f, .origin = {264.9f, 200.0f, -50.0f}},
        nearStop{.time = 70.25f, .origin = {-3100.0f, 10.0f, 0.5f}}, far{.time = 1.0f, .origin = {5000.0f, 0, 0}};
    DemoBuilder edges("kz_test");
    padTo(edges.startMarker(), MiB - 500);  // fixed part before the first window edge, messages across it
    padTo(edges.networkFrame(at(3.0f), msg::concat({msg::filler(900), press(kStart)})), 2 * MiB - 100);  // and across
    edges.networkFrame(at(9.5f), msg::concat({msg::filler(900), press(kStop)})).rawBytes(Bytes{0xFF});
    const wchar_t* none = L"--:--.--";
    const struct {
        const char* what;
        Bytes demo;
        size_t line = 8;  // the one settings line that is not empty, if any
        const wchar_t* text = L"";
        const wchar_t* runTime = L"--:--.--";
        const RecordsDatabase* db = nullptr;
        const wchar_t* average = nullptr;
    } rows[] = {
        {"9 and 10 ms", frames({at(0, 9), at(0, 10)}), 0, L"highest fps is 111", none, nullptr, L"105.50"},
        {"0 and 10 ms", frames({at(0, 0), at(0, 10)}), 8, L"", none, nullptr, L"100.00"},
        {"gravity", frames({at(0), at(0, 10, [](ClientState& s) { s.gravity = 800.5f; })}), 1, L"sv_gravity is not correct"},
        {"air acceleration", frames({at(0, 10, [](ClientState& s) { s.airAcceleration = 100; }), at(0)}), 2,
         L"sv_airacceleration is not correct"},
        {"max speed", frames({at(0, 10, [](ClientState& s) { s.maxSpeed = 250; })}), 3, L"sv_maxspeed is not correct"},
        {"step size", frames({at(0, 10, [](ClientState& s) { s.stepSize = 18.0001f; })}), 4, L"sv_stepsize is not correct"},
        {"max velocity", frames({at(0, 10, [](ClientState& s) { s.maxVelocity = std::nanf(""); })}), 5,
         L"sv_maxvelocity is not correct"},
        {"edge friction", frames({at(0, 10, [](ClientState& s) { s.edgeFriction = 1; })}), 6, L"edgefriction is not correct"},
        {"footsteps", frames({at(0, 10, [](ClientState& s) { s.footsteps = 0; })}), 7, L"mp_footsteps is not correct"},
        // The start frame is not counted, the 5 ms frame before it neither; the walk ends at the stop press.
        {"mode 0",
         DemoBuilder("kz_test").startMarker().networkFrame(at(5.0f, 5)).networkFrame(at(10.0f), press(kStart))
             .networkFrame(at(20.0f)).networkFrame(at(93.456f), press(kStop)).rawBytes(Bytes{0xFF}).bytes(),
         8, L"", L"01:23.45", &db0, L"100.00"},
        {"cup storage, capital map name",
         DemoBuilder("KZ_CUP_Storage").startMarker().networkFrame(at(2.0f), press(kStart))
             .networkFrame(at(74.5f), press(kStop)).bytes(), 8, L"", L"01:07.50", &cup},
        {"unknown map", timed("kz_other", kStart), 8, L"", none, &db0},
        {"database not loaded", timed("kz_test", kStart), 8, L"", none, &notLoaded},
        {"a stop press does not start a run", timed("kz_test", kStop), 8, L"", none, &db0},
        {"wrong before the start marker is not judged",
         DemoBuilder().networkFrame(at(0, 10, wrongGravity)).startMarker().networkFrame(at(1)).startMarker().bytes()},
        {"wrong on the start frame is forgiven", timed("kz_test", kStart, wrongGravity), 8, L"", L"00:01.00", &db0},
        {"wrong on the stop frame", timed("kz_test", kStart, nullptr, wrongGravity), 1, L"sv_gravity is not correct",
         L"00:01.00", &db0},
        {"presses across the reader's window edges", edges.bytes(), 8, L"", L"00:06.50", &db0},
        {"a press first in its block",
         DemoBuilder("kz_test").startMarker().networkFrame(at(1), msg::concat({msg::buttonPattern(6, kStart), msg::filler(4, 0)}))
             .networkFrame(at(2), press(kStop)).startMarker().bytes(), 8, L"", L"00:01.00", &db0},
        {"mode 1 with +use", used(1, "+use", "+use", false), 8, L"", L"00:02.50", &db1},
        {"mode 2 with +use", used(2, "+use", "+use", false), 8, L"", L"00:02.50", &db2},
        {"mode 2, attempt spent on a frame", used(2, "+use", "+use", true), 8, L"", none, &db2},
        {"mode 2, +usex", used(2, "+usex", "+use", false), 8, L"", none, &db2},
        {"mode 3 positions",
         DemoBuilder("kz_test").startupFrame(msg::soundResources(412)).startMarker().consoleCommand("+use")
             .networkFrame(nearStart, heard(413)).consoleCommand("+use").networkFrame(nearStart, heard(412))
             .networkFrame(nearStop, heard(412)).consoleCommand("+use").networkFrame(nearStop, heard(412)).bytes(),
         8, L"", L"01:06.25", &positions},
        {"mode 3 origin only after +use",
         DemoBuilder("kz_test").startMarker().consoleCommand("+use").networkFrame(far).networkFrame(at(2.0f))
             .consoleCommand("+use").networkFrame(far, heard(0)).startMarker().bytes(), 8, L"", none, &originAfterUse},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        CheckResult result;
        checkDemoBytes(r.demo, r.db, result);
        ASSERT_EQ(result.status(), 100);
        EXPECT_EQ(result.runTimeText.view(), r.runTime);
        EXPECT_EQ(result.averageFpsText.view(), r.average ? r.average : result.averageFpsText.view());
        for (size_t k = 0; k < result.settingsLines.size(); ++k)
            EXPECT_EQ(result.settingsLines[k].view(), k == r.line ? r.text : L"") << k;
    }
}

// The window reads the board while checks publish to it: every snapshot is
// one whole published state (ThreadSanitizer sees any field read while written).
TEST(DemoWalk, PublishedResultReadWhileChecksRun) {
    const RecordsDatabase db = database(0, {kStart}, {kStop});
    const Bytes demo = DemoBuilder("kz_test").startupFrame(msg::userInfo("Climber", "76561198000000001")).startMarker()
                           .networkFrame(at(10.0f), press(kStart)).networkFrame(at(93.456f), press(kStop)).bytes();
    ResultBoard board;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int k = 0; k < 200; ++k) {
            CheckResult result;
            result.board = &board;
            checkDemoBytes(demo, &db, result);
        }
        done = true;
    });
    while (!done) {
        const ResultSnapshot shown = board.snapshot();
        if (shown.status == status::finished) {
            ASSERT_EQ(shown.fields.runTimeText.view(), L"01:23.45");
            ASSERT_EQ(shown.fields.playerName.view(), L"Climber");
        } else if (shown.status >= 1 && shown.status <= 99) {
            ASSERT_TRUE(shown.fields.runTimeText.empty());
        }
    }
    worker.join();
    EXPECT_EQ(board.status(), status::finished);
}

// A check started while the update pass still loads the records waits for
// their hand-over and times the run with them; ThreadSanitizer sees any write
// of the pass that the check's reads are not ordered after.
TEST(WorkerHandOver, ACheckDuringTheUpdatePassTakesItsRecords) {
    test::TempDir dir;
    const auto file = dir.write("RecData.dat", test::recData("map kz_test\nmode 0\nstart pattern 5a 01\n"
                                                             "stop pattern 5a 02\n"));
    UpdateSettings settings;  // no server answers: the pass loads the local file alone
    settings.updateFolderUrl = "none:/";
    settings.records = {"none:/RecData.dat", "none:/demos_tcl.txt"};
    test::RecordingHost host;
    const Bytes demo = DemoBuilder("kz_test").startMarker().networkFrame(at(10.0f), press(kStart))
                           .networkFrame(at(93.456f), press(kStop)).bytes();
    app::RecordsHandOver records;
    CheckResult check, update;
    std::thread checker([&] { checkDemoBytes(demo, records.take(), check); });
    std::thread updater([&] { app::updateAndHandOver(update, records, host, settings, file); });
    updater.join();
    checker.join();
    EXPECT_EQ(update.status(), -1);
    EXPECT_EQ(check.runTimeText.view(), L"01:23.45");
}

// A demo file backend that fails on demand: it serves another backend's reads
// but no byte from failFrom on, as an I/O error or a file cut after open
// would (a read reaching that far answers only the bytes before it), or it
// serves every byte and is found cut to failFrom afterwards.
class FailingFile final : public platform::AsyncFile {
public:
    FailingFile(std::unique_ptr<platform::AsyncFile> inner, int64_t failFrom, bool cutAfterReads)
        : inner_(std::move(inner)), failFrom_(failFrom), cutAfterReads_(cutAfterReads) {}

    int64_t size() const override { return inner_->size(); }
    int64_t currentSize() const override { return failFrom_; }
    const uint8_t* issue(int slot, int64_t offset, uint8_t* dst, uint32_t n) override {
        good_[slot] = cutAfterReads_ ? n : static_cast<uint32_t>(std::clamp<int64_t>(failFrom_ - offset, 0, n));
        return inner_->issue(slot, offset, dst, n);
    }
    uint32_t collect(int slot, uint32_t need) override {
        return std::min(inner_->collect(slot, std::min(need, good_[slot])), good_[slot]);
    }
    void cancelAll() override { inner_->cancelAll(); }

private:
    std::unique_ptr<platform::AsyncFile> inner_;
    int64_t failFrom_;
    bool cutAfterReads_;
    uint32_t good_[2] = {0, 0};  // bytes of the slot's read before failFrom
};

// A read that fails ends the check with the read error where the walk stood,
// never with a verdict, even when the bytes before the failure hold the press
// that would finish the run; so does a file found cut once the walk is over.
TEST(DemoWalk, FailedReadEndsTheCheckWithTheReadError) {
    const RecordsDatabase db = database(0, {kStart}, {kStop});
    DemoBuilder b("kz_test");
    const int64_t stopFrame = static_cast<int64_t>(b.startMarker().networkFrame(at(1.0f), press(kStart)).size());
    const Bytes stopBlock = msg::concat({press(kStop), msg::filler(3000)});
    b.networkFrame(at(2.0f), stopBlock).startMarker();
    for (const bool cutAfterReads : {false, true}) {
        CheckResult result;
        checkDemo(std::make_unique<FailingFile>(test::openMemoryFile(b.bytes()),
                                                stopFrame + kMessagesOffset + 1000, cutAfterReads),
                  nullptr, &db, result);
        EXPECT_EQ(result.status(), -2) << cutAfterReads;
        EXPECT_EQ(result.messageText.view(), readErrorAt(static_cast<int64_t>(b.size() - kStartMarkerSize),
                                                         static_cast<int64_t>(stopBlock.size())));
    }
}

// A demo taken out of an archive is deleted when its check ends; one the user
// chose directly stays.
TEST(DemoWalk, ExtractedDemoIsDeleted) {
    test::TempDir dir;
    for (const bool fromArchive : {true, false}) {
        CheckResult result;
        checkDemoFile(dir.write("run.dem", msg::text("not a demo")), fromArchive, nullptr, result);
        EXPECT_EQ(platform::fileExists(dir / "run.dem"), !fromArchive);
    }
}

// The run graph: its series gathered on the walk, and its drawing.
struct GraphRow {
    const char* what;
    const char* picture;  // tests/data/graphs/<picture>.svg
    bool timed;
    std::vector<std::pair<int, uint8_t>> stretches;  // frames, ms each
    int spikeFrame;                                   // this frame lasts 4 ms (250 fps); -1: none
    double wrongFrom, wrongTo;                        // gravity wrong between these demo times
    double width;                                     // of a bucket once the walk is over
    uint16_t highest;
};

struct Counted {
    float time;
    uint16_t fps;
    bool wrong;
};

// The demo of a row, and the frames its graph counts. A timed run is pressed
// at 1 s, after a warm-up frame whose spike and wrong setting do not count.
Bytes buildGraphDemo(const GraphRow& row, std::vector<Counted>& counted) {
    DemoBuilder d("kz_test");
    d.startMarker();
    auto add = [&](double t, uint8_t msec, const Bytes& messages = {}) {
        ClientState s{.time = static_cast<float>(t), .msec = msec};
        const bool wrong = t >= row.wrongFrom && t < row.wrongTo;
        if (wrong) s.gravity = 600.0f;
        d.networkFrame(s, messages);
        counted.push_back({s.time, static_cast<uint16_t>(1000 / msec), wrong});
    };
    double t = 1.0;
    if (row.timed) d.networkFrame({.time = 0.5f, .msec = 1, .gravity = 0.0f}).networkFrame({.time = 1.0f}, press(kStart));
    int n = 0;
    for (const auto& [frames, msec] : row.stretches) {
        for (int i = 0; i < frames; ++i, ++n) add(t += msec / 1000.0, n == row.spikeFrame ? 4 : msec);
    }
    if (row.timed) add(t + 0.01, 10, press(kStop));
    d.startMarker();
    return d.bytes();
}

// Each bucket against the counted frames that fall into it; spikes and the
// burst stay where they were.
TEST(RunGraph, SeriesOfBuiltDemos) {
    const GraphRow rows[] = {
        {"steady 100 fps", "steady", true, {{1250, 10}}, -1, 5.0, 6.0, 1.0 / 64, 100},  // 12.51 s: ticks every 2 s
        {"100 then 125", "burst", true, {{500, 10}, {625, 8}}, -1, 0, 0, 1.0 / 64, 125},
        {"one 250-fps frame in a long run", "spike", true, {{12000, 10}}, 230, 0, 0, 1.0 / 8, 250},
        {"no run timed", "untimed", false, {{500, 10}}, -1, 2.0, 2.035, 1.0 / 64, 100},  // ends inside a bucket
    };
    const RecordsDatabase db = database(0, {kStart}, {kStop});
    for (const GraphRow& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<Counted> counted;
        const Bytes demo = buildGraphDemo(row, counted);
        CheckResult result;
        RunSeries series;
        checkDemoBytes(demo, row.timed ? &db : nullptr, result, &series);
        ASSERT_EQ(result.status(), status::finished);
        EXPECT_EQ(series.runStarted, row.timed);
        EXPECT_EQ(series.runFinished, row.timed);
        EXPECT_EQ(series.width, row.width);
        EXPECT_LE(series.used, RunSeries::kMaxBuckets);

        const double origin = row.timed ? 1.0 : counted.front().time;
        std::vector<SeriesBucket> expected(RunSeries::kMaxBuckets);
        for (const Counted& c : counted) {
            SeriesBucket& b = expected.at(static_cast<size_t>((c.time - origin) / row.width));
            b.lowest = b.frames == 0 ? c.fps : std::min(b.lowest, c.fps);
            b.highest = std::max(b.highest, c.fps);
            ++b.frames;
            b.fpsSum += c.fps;
            b.wrongSettings |= c.wrong ? 1 : 0;
        }
        uint16_t highest = 0;
        for (size_t i = 0; i < RunSeries::kMaxBuckets; ++i) {
            const SeriesBucket& got = series.buckets[i];
            const SeriesBucket& want = expected[i];
            ASSERT_EQ(std::tie(got.frames, got.fpsSum, got.wrongSettings), std::tie(want.frames, want.fpsSum, want.wrongSettings)) << i;
            if (want.frames != 0) {
                ASSERT_EQ(std::tie(got.lowest, got.highest), std::tie(want.lowest, want.highest)) << i;
            }
            highest = std::max(highest, got.highest);
        }
        EXPECT_EQ(highest, row.highest);
        EXPECT_EQ(result.settingsLines[1].empty(), row.wrongTo == 0);

        const std::string svg = runGraphSvg(makeReport("", result, result.status(), nullptr), series);
        EXPECT_EQ(svg.find("<script"), std::string::npos);
        EXPECT_NE(svg.find("id=\"guide-100\""), std::string::npos);
        EXPECT_EQ(svg.find(">stop</text>") != std::string::npos, row.timed);
        EXPECT_EQ(svg.find(">sv_gravity</text>") != std::string::npos, row.wrongTo != 0);
        size_t ticks = 0;  // one red tick for the one stretch, however the buckets cut it
        for (size_t at = 0; (at = svg.find("stroke=\"#c80000\" stroke-width=\"2\"", at + 1)) != std::string::npos;) ++ticks;
        EXPECT_EQ(ticks, row.wrongTo != 0 ? 1u : 0u);
        EXPECT_EQ(svg.find(">250</text>") != std::string::npos, row.highest == 250);
        EXPECT_NE(svg.find(row.timed ? "run time (s)" : "demo time (s)"), std::string::npos);
        // And the whole picture, against the one kept with the tests: a label moved or an axis rescaled
        // shows here. RW_WRITE_GRAPHS=1 rewrites them after a deliberate change.
        const auto kept = std::filesystem::path(RW_SOURCE_DIR) / "tests" / "data" / "graphs" / (std::string(row.picture) + ".svg");
        if (std::getenv("RW_WRITE_GRAPHS")) test::writeFile(kept, std::span(reinterpret_cast<const uint8_t*>(svg.data()), svg.size()));
        const std::vector<uint8_t> want = test::readAll(kept);
        EXPECT_TRUE(std::equal(svg.begin(), svg.end(), want.begin(), want.end())) << "differs from " << kept;
    }
}

// Texts from the demo cannot break out of the picture's markup.
TEST(RunGraph, TitleTextIsEscaped) {
    CheckReport report;
    report.status = status::finished;
    report.player = "<script>a&b\"\x01\xff";
    report.fps = "84.99";
    report.fpsAverage = 84.99f;
    const std::string svg = runGraphSvg(report, RunSeries{});
    EXPECT_NE(svg.find("&lt;script&gt;a&amp;b&quot;\xEF\xBF\xBD\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_NE(svg.find("fill=\"#c80000\">84.99"), std::string::npos);  // below 85 in red, as the panel paints it
    EXPECT_NE(svg.find("no frame counted"), std::string::npos);
}

// Times from the file that are no number, go back, or lie far out still make a bounded series and a picture.
TEST(RunGraph, FarOutTimes) {
    RunSeries series;
    for (const float t : {1e30f, std::nanf(""), 0.0f, 1e30f}) addSeriesFrame(series, t, 100, 1);
    EXPECT_NE(runGraphSvg(CheckReport{}, series).find("</svg>"), std::string::npos);
    addSeriesFrame(series, 1e30f, 0, 1);  // a frame without a rate is not counted
    addSeriesFrame(series, 3e38f, 100, 1);
    EXPECT_LE(series.used, RunSeries::kMaxBuckets);
    EXPECT_EQ(series.buckets[0].frames + series.buckets[series.used - 1].frames, 5u);
    EXPECT_NE(runGraphSvg(CheckReport{}, series).find("</svg>"), std::string::npos);
}

}  // namespace
}  // namespace rw
