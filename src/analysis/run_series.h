#pragma once
// The run's frame rates over time, gathered during the walk for the run graph:
// the frames the average counts, reduced on the fly into a fixed number of
// time buckets, each keeping its lowest, highest and mean rate and the
// settings seen wrong in it, so that one-frame spikes stay visible whatever the
// demo's length. Also where the start and stop buttons were pressed.
#include <array>
#include <cstddef>
#include <cstdint>

namespace rw {

struct SeriesBucket {
    uint16_t lowest = 0;  // frame rates; meaningful when frames > 0
    uint16_t highest = 0;
    uint32_t frames = 0;
    uint64_t fpsSum = 0;
    uint8_t wrongSettings = 0;  // bit k: setting k (settings line k + 1) was wrong in a frame here
    uint8_t rightSettings = 0;  // bit k: and right in one
};

struct RunSeries {
    static constexpr size_t kMaxBuckets = 1500;
    // A power of two, so that the widths after merging stay exact.
    static constexpr double kFirstWidth = 1.0 / 64;

    std::array<SeriesBucket, kMaxBuckets> buckets{};
    size_t used = 0;             // buckets from the first one to the latest frame's
    double width = kFirstWidth;  // seconds per bucket
    double origin = 0.0;         // demo time where bucket 0 begins
    bool originSet = false;
    double lastOffset = 0.0;  // seconds from the origin to the latest frame
    // The bucket the previous frame went to and its time range: most frames
    // go to the same one, and NaN lies in no range.
    size_t current = 0;
    double currentFrom = 0.0, currentTo = 0.0;
    bool runStarted = false;  // the origin is then the start press
    bool runFinished = false;
    double runTime = 0.0;  // the stop press, seconds after the start press
};

// One frame of the judged stretch, at demo time `time`: its frame rate (0 for
// a frame that has none and is not counted) and the settings wrong in it.
void addSeriesFrame(RunSeries& series, float time, uint32_t fps, uint8_t wrongSettings);

// The start button: what came before is dropped, as the verdict drops it, and
// the run's time counts from here.
void startSeriesRun(RunSeries& series, float startTime);

// The stop button, `runTime` seconds after the start.
void finishSeriesRun(RunSeries& series, float runTime);

// Seconds shown: from the origin to the latest frame or the stop press.
double seriesSpan(const RunSeries& series);

}  // namespace rw
