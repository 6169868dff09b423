#include "analysis/run_graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "analysis/demo_walk.h"
#include "demo_builder.h"

namespace rw {
namespace {

using test::Bytes;
using test::ClientState;
using test::DemoBuilder;
namespace msg = test::msg;

const Bytes kStart{0x5A, 0x01};
const Bytes kStop{0x5A, 0x02};

Bytes press(const Bytes& entry) {
    return msg::concat({msg::filler(3, 0), msg::buttonPattern(6, entry), msg::filler(4, 0)});
}

struct Row {
    const char* what;
    bool timed;
    std::vector<std::pair<int, uint8_t>> stretches;  // frames, ms each
    int spikeFrame;                                   // this frame lasts 1 ms (1000 fps); -1: none
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
Bytes build(const Row& row, std::vector<Counted>& counted) {
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
        for (int i = 0; i < frames; ++i, ++n) add(t += msec / 1000.0, n == row.spikeFrame ? 1 : msec);
    }
    if (row.timed) add(t + 0.01, 10, press(kStop));
    d.startMarker();
    return d.bytes();
}

RecordsDatabase database() {
    RecordsDatabase db;
    db.records = {MapRecord{.name = "kz_test", .mode = 0, .startEntries = {kStart}, .stopEntries = {kStop}}};
    db.state = 1;
    return db;
}

// Each bucket against the counted frames that fall into it; spikes and the
// burst stay where they were.
TEST(RunGraph, SeriesOfBuiltDemos) {
    const Row rows[] = {
        {"steady 100 fps", true, {{2000, 10}}, -1, 5.0, 6.0, 1.0 / 64, 100},
        {"100 then 125", true, {{1000, 10}, {1250, 8}}, -1, 0, 0, 1.0 / 64, 125},
        {"one 1000-fps frame in a long run", true, {{12000, 10}}, 230, 0, 0, 1.0 / 8, 1000},
        {"no run timed", false, {{500, 10}}, -1, 2.0, 3.0, 1.0 / 64, 100},
    };
    const RecordsDatabase db = database();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<Counted> counted;
        const Bytes demo = build(row, counted);
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
            if (want.frames != 0) ASSERT_EQ(std::tie(got.lowest, got.highest), std::tie(want.lowest, want.highest)) << i;
            highest = std::max(highest, got.highest);
        }
        EXPECT_EQ(highest, row.highest);
        EXPECT_EQ(result.settingsLines[1].empty(), row.wrongTo == 0);

        const std::string svg = runGraphSvg(makeReport("", result, result.status(), nullptr), series);
        EXPECT_EQ(svg.find("<script"), std::string::npos);
        EXPECT_NE(svg.find("id=\"guide-100\""), std::string::npos);
        EXPECT_EQ(svg.find(">stop</text>") != std::string::npos, row.timed);
        EXPECT_EQ(svg.find(">sv_gravity</text>") != std::string::npos, row.wrongTo != 0);
        EXPECT_EQ(svg.find(">1000</text>") != std::string::npos, row.highest == 1000);
        EXPECT_NE(svg.find(row.timed ? "run time (s)" : "demo time (s)"), std::string::npos);
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
    addSeriesFrame(series, 3e38f, 100, 1);
    EXPECT_LE(series.used, RunSeries::kMaxBuckets);
    EXPECT_EQ(series.buckets[0].frames + series.buckets[series.used - 1].frames, 5u);
    EXPECT_NE(runGraphSvg(CheckReport{}, series).find("</svg>"), std::string::npos);
}

}  // namespace
}  // namespace rw
