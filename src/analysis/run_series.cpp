#include "analysis/run_series.h"

#include <algorithm>
#include <cmath>

namespace rw {
namespace {

static_assert(sizeof(RunSeries) < (1u << 20), "the series stays under 1 MiB whatever the demo's length");

void addTo(SeriesBucket& into, const SeriesBucket& from) {
    if (from.frames != 0) {
        into.lowest = into.frames == 0 ? from.lowest : std::min(into.lowest, from.lowest);
        into.highest = std::max(into.highest, from.highest);
        into.frames += from.frames;
        into.fpsSum += from.fpsSum;
    }
    into.wrongSettings |= from.wrongSettings;
    into.rightSettings |= from.rightSettings;
}

// Neighbouring buckets become one of twice the width; lowest and highest
// survive, so does a spike.
void mergePairs(RunSeries& s) {
    const size_t kept = (s.used + 1) / 2;
    for (size_t i = 0; i < kept; ++i) {
        SeriesBucket merged = s.buckets[2 * i];
        if (2 * i + 1 < s.used) addTo(merged, s.buckets[2 * i + 1]);
        s.buckets[i] = merged;
    }
    std::fill(s.buckets.begin() + static_cast<ptrdiff_t>(kept), s.buckets.begin() + static_cast<ptrdiff_t>(s.used),
              SeriesBucket{});
    s.used = kept;
    s.width *= 2;
    s.currentTo = s.currentFrom = 0.0;  // no frame's bucket until placed again
}

// The bucket of a frame outside the previous frame's bucket, merging pairs
// until it fits. Kept out of line, so that the common case stays short.
[[gnu::noinline]] size_t placeFrame(RunSeries& s, float time) {
    // Times come from the file: one that is no number stays where the last
    // frame was, one that goes back joins the first bucket.
    const bool finite = std::isfinite(time);
    if (!s.originSet) {
        s.origin = finite ? time : 0.0;
        s.originSet = true;
    }
    const double offset = finite ? std::max(0.0, static_cast<double>(time) - s.origin) : s.lastOffset;
    while (offset / s.width >= static_cast<double>(RunSeries::kMaxBuckets)) mergePairs(s);
    const size_t i = static_cast<size_t>(offset / s.width);
    s.used = std::max(s.used, i + 1);
    s.lastOffset = std::max(s.lastOffset, offset);
    s.current = i;
    s.currentFrom = static_cast<double>(i) * s.width;
    s.currentTo = s.currentFrom + s.width;
    return i;
}

}  // namespace

void addSeriesFrame(RunSeries& s, float time, uint32_t fps, uint8_t wrongSettings) {
    const double offset = static_cast<double>(time) - s.origin;
    size_t i = s.current;
    if (s.originSet && offset >= s.currentFrom && offset < s.currentTo) {
        s.lastOffset = std::max(s.lastOffset, offset);
    } else {
        i = placeFrame(s, time);
    }
    SeriesBucket& b = s.buckets[i];
    if (fps != 0) {
        const auto rate = static_cast<uint16_t>(std::min<uint32_t>(fps, UINT16_MAX));
        b.lowest = b.frames == 0 ? rate : std::min(b.lowest, rate);
        b.highest = std::max(b.highest, rate);
        ++b.frames;
        b.fpsSum += fps;
    }
    b.wrongSettings |= wrongSettings;
    b.rightSettings |= static_cast<uint8_t>(~wrongSettings);
}

void startSeriesRun(RunSeries& s, float startTime) {
    s = RunSeries{};
    s.origin = std::isfinite(startTime) ? startTime : 0.0;
    s.originSet = true;
    s.runStarted = true;
}

void finishSeriesRun(RunSeries& s, float runTime) {
    s.runFinished = true;
    s.runTime = std::isfinite(runTime) ? std::max(0.0, static_cast<double>(runTime)) : s.lastOffset;
}

double seriesSpan(const RunSeries& s) { return std::max(s.lastOffset, s.runFinished ? s.runTime : 0.0); }

}  // namespace rw
