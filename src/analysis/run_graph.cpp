#include "analysis/run_graph.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "analysis/run_findings.h"
#include "base/utf8.h"

namespace rw {
namespace {

// The plot's frame inside the 1200 by 400 picture.
constexpr double kLeft = 64, kRight = 1176, kTop = 56, kBottom = 340;
constexpr double kPlotWidth = kRight - kLeft, kPlotHeight = kBottom - kTop;
// Rates up to this stay on a linear scale; above it, when a spike goes
// higher, the top quarter is logarithmic, so 100 and 125 stay apart.
constexpr double kLinearTop = 200;
constexpr double kLinearShare = 0.75;

constexpr const char* kRed = "#c80000";
constexpr const char* kGreen = "#006400";  // the panel's colours for the average

// One decimal at most, by integers where they hold the value: thousands of
// coordinates are written per picture.
std::string num(double v) {
    char buf[48];
    const double tenths = std::round(v * 10);
    if (!(std::abs(tenths) < 1e15)) {
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::trunc(v), std::chars_format::fixed, 0);
        return std::string(buf, ec == std::errc() ? end : buf);
    }
    const auto whole = static_cast<int64_t>(tenths);
    char* end = buf;
    if (whole < 0 && whole > -10) *end++ = '-';  // -0.5: the sign is not in the whole part
    end = std::to_chars(end, buf + sizeof buf, whole / 10).ptr;
    if (whole % 10 != 0) {
        *end++ = '.';
        *end++ = static_cast<char>('0' + std::abs(whole % 10));
    }
    return std::string(buf, end);
}

// Text for an element's content or attribute: markup escaped, and what XML
// cannot hold (control characters, broken UTF-8) as U+FFFD.
std::string xmlText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const Utf8Char c = decodeUtf8(text, i);
        const bool allowed = c.length != 0 && (c.code >= 0x20 || c.code == '\t') && c.code != 0xFFFE && c.code != 0xFFFF;
        if (!allowed) {
            out += "\xEF\xBF\xBD";
            i += std::max<size_t>(c.length, 1);
            continue;
        }
        switch (c.code) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.append(text.substr(i, c.length));
        }
        i += c.length;
    }
    return out;
}

struct Scale {
    double span = 1;     // seconds across the plot
    double shownAt0 = 0;  // the axis value at the plot's left edge
    double top = 150;     // fps at the top edge
    double linearTop = 150;
    double linearHeight = kPlotHeight;

    double x(double offset) const { return kLeft + std::clamp(offset / span, 0.0, 1.0) * kPlotWidth; }
    double y(double fps) const {
        if (fps <= linearTop) return kBottom - fps / linearTop * linearHeight;
        return kBottom - linearHeight - std::log(fps / linearTop) / std::log(top / linearTop) * (kPlotHeight - linearHeight);
    }
};

double niceCeiling(double v) {
    for (double step = 1;; step *= 10) {
        for (const double m : {1.0, 2.0, 2.5, 5.0}) {
            if (m * step >= v) return m * step;
        }
    }
}

Scale makeScale(const RunSeries& s) {
    Scale scale;
    const double span = seriesSpan(s);
    scale.span = span > 0 ? span : 1;
    scale.shownAt0 = s.runStarted ? 0 : s.origin;
    uint32_t highest = 0;
    for (size_t i = 0; i < s.used; ++i) highest = std::max<uint32_t>(highest, s.buckets[i].highest);
    if (highest <= kLinearTop) {
        scale.top = scale.linearTop = std::max(150.0, std::ceil(highest / 50.0) * 50);
    } else {
        scale.linearTop = kLinearTop;
        scale.linearHeight = kPlotHeight * kLinearShare;
        scale.top = niceCeiling(highest);
    }
    return scale;
}

// Whole seconds between ticks, so that about a dozen fit.
double tickStep(double span) {
    for (const double step : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0}) {
        if (span / step <= 12) return step;
    }
    return niceCeiling(span / 12);
}

void line(std::string& out, double x1, double y1, double x2, double y2, const std::string& style) {
    out += "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" + num(y2) + "\" " +
           style + "/>\n";
}

void text(std::string& out, double x, double y, const std::string& attributes, const std::string& content) {
    out += "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" " + attributes + ">" + content + "</text>\n";
}

void axes(std::string& out, const Scale& sc, bool timed) {
    const double step = tickStep(sc.span);
    const double first = std::ceil(sc.shownAt0 / step) * step;
    // Counted, not summed: far from zero a step can vanish in the rounding.
    for (int k = 0; k <= 13; ++k) {
        const double t = first + k * step;
        if (t > sc.shownAt0 + sc.span + 1e-9) break;
        const double x = sc.x(t - sc.shownAt0);
        line(out, x, kTop, x, kBottom, "stroke=\"#e4e4e4\"");
        text(out, x, kBottom + 18, "text-anchor=\"middle\"", num(std::trunc(t)));
    }
    std::vector<double> rates;
    for (double f = 0; f <= sc.linearTop + 1e-9; f += 50) rates.push_back(f);
    if (sc.top > sc.linearTop) rates.push_back(sc.top);
    for (const double f : rates) {
        line(out, kLeft, sc.y(f), kRight, sc.y(f), "stroke=\"#e4e4e4\"");
        if (f != 100) text(out, kLeft - 6, sc.y(f) + 4, "text-anchor=\"end\"", num(f));
    }
    out += "<rect id=\"plot\" x=\"" + num(kLeft) + "\" y=\"" + num(kTop) + "\" width=\"" + num(kPlotWidth) +
           "\" height=\"" + num(kPlotHeight) + "\" fill=\"none\" stroke=\"#808080\"/>\n";
    text(out, (kLeft + kRight) / 2, kBottom + 44, "text-anchor=\"middle\"", timed ? "run time (s)" : "demo time (s)");
    text(out, 18, (kTop + kBottom) / 2, "text-anchor=\"middle\" transform=\"rotate(-90 18 198)\"", "fps");
}

// Guides: below 85 the average is red, above 100 the highest rate is reported.
void guides(std::string& out, const Scale& sc) {
    out += "<line id=\"guide-85\" x1=\"" + num(kLeft) + "\" y1=\"" + num(sc.y(85)) + "\" x2=\"" + num(kRight) +
           "\" y2=\"" + num(sc.y(85)) + "\" stroke=\"" + kRed + "\" stroke-dasharray=\"6 4\"/>\n";
    out += "<line id=\"guide-100\" x1=\"" + num(kLeft) + "\" y1=\"" + num(sc.y(100)) + "\" x2=\"" + num(kRight) +
           "\" y2=\"" + num(sc.y(100)) + "\" stroke=\"#e08a00\"/>\n";
    text(out, kLeft - 6, sc.y(85) + 12, std::string("text-anchor=\"end\" fill=\"") + kRed + "\"", "85");
    text(out, kLeft - 6, sc.y(100) + 2, "text-anchor=\"end\" fill=\"#e08a00\"", "100");
}

// The band steps across each bucket's width from its lowest to its highest
// rate, outlined so that a bucket narrower than a pixel still shows; the mean
// line joins the buckets' middles. Buckets without a counted frame are bridged.
void curve(std::string& out, const RunSeries& s, const Scale& sc) {
    std::string upper, mean;
    std::vector<std::string> lower;  // drawn back from right to left
    for (size_t i = 0; i < s.used; ++i) {
        const SeriesBucket& b = s.buckets[i];
        if (b.frames == 0) continue;
        const double x0 = sc.x(static_cast<double>(i) * s.width), x1 = sc.x(static_cast<double>(i + 1) * s.width);
        const double xm = sc.x((static_cast<double>(i) + 0.5) * s.width);
        upper += num(x0) + "," + num(sc.y(b.highest)) + " " + num(x1) + "," + num(sc.y(b.highest)) + " ";
        lower.push_back(num(x1) + "," + num(sc.y(b.lowest)) + " " + num(x0) + "," + num(sc.y(b.lowest)) + " ");
        mean += num(xm) + "," + num(sc.y(static_cast<double>(b.fpsSum) / b.frames)) + " ";
    }
    if (mean.empty()) {
        text(out, (kLeft + kRight) / 2, (kTop + kBottom) / 2, "text-anchor=\"middle\"", "no frame counted");
        return;
    }
    for (auto it = lower.rbegin(); it != lower.rend(); ++it) upper += *it;
    out += "<polygon id=\"band\" points=\"" + upper +
           "\" fill=\"#a9c4ee\" stroke=\"#a9c4ee\" stroke-linejoin=\"round\"/>\n";
    out += "<polyline id=\"mean\" points=\"" + mean + "\" fill=\"none\" stroke=\"#1f4fbf\" stroke-width=\"1.5\"/>\n";
}

void presses(std::string& out, const RunSeries& s, const Scale& sc) {
    auto mark = [&](double offset, const char* name) {
        const double x = sc.x(offset);
        line(out, x, kTop - 6, x, kBottom, "stroke=\"#2e7d32\" stroke-width=\"2\"");
        text(out, x, kTop - 10, "text-anchor=\"middle\" fill=\"#2e7d32\"", name);
    };
    if (s.runStarted) mark(0, "start");
    if (s.runFinished) mark(s.runTime, "stop");
}

// One lane per wrong setting along the bottom of the plot: a red tick where
// each stretch of wrong frames begins, a bar across it, the name at the first.
void wrongSettings(std::string& out, const RunSeries& s, const Scale& sc) {
    double laneY = kBottom - 16;
    for (size_t k = 0; k < kSettingCount; ++k) {
        const auto bit = static_cast<uint8_t>(1u << k);
        bool named = false;
        // A stretch goes on through buckets without a frame, up to a bucket
        // where the setting is only seen right.
        for (size_t i = 0; i < s.used; ++i) {
            if (!(s.buckets[i].wrongSettings & bit)) continue;
            size_t end = i + 1;
            for (size_t k = end; k < s.used; ++k) {
                if (s.buckets[k].wrongSettings & bit) {
                    end = k + 1;
                } else if (s.buckets[k].rightSettings & bit) {
                    break;
                }
            }
            const double x0 = sc.x(static_cast<double>(i) * s.width), x1 = sc.x(static_cast<double>(end) * s.width);
            line(out, x0, laneY - 8, x0, laneY + 6, std::string("stroke=\"") + kRed + "\" stroke-width=\"2\"");
            line(out, x0, laneY, std::max(x1, x0 + 1), laneY, std::string("stroke=\"") + kRed + "\" stroke-width=\"3\"");
            if (!named) {
                text(out, std::min(x0 + 4, kRight - 4), laneY - 3,
                     std::string(x0 + 4 > kRight - 140 ? "text-anchor=\"end\" " : "") + "fill=\"" + kRed +
                         "\" font-size=\"12\"",
                     std::string(settingName(k)));
                named = true;
            }
            i = end - 1;
        }
        if (named) laneY -= 18;
    }
}

// The panel's figures on one line, each label set off from the value before it.
std::string title(const CheckReport& r) {
    auto label = [](const char* name) { return std::string("<tspan dx=\"16\" font-weight=\"bold\">") + name + "</tspan> "; };
    std::string t = "<tspan font-weight=\"bold\">Demo:</tspan> " + xmlText(r.demo) + label("Name:") + xmlText(r.player) +
                    label("Map:") + xmlText(r.map) + label("Time:") + xmlText(r.time);
    if (r.status == status::finished) {
        t += label("Fps:") + "<tspan fill=\"" + (r.fpsAverage < 85.0f ? kRed : kGreen) + "\">" + xmlText(r.fps) + "</tspan>";
    } else {
        t += "<tspan dx=\"16\">" + xmlText(r.message) + "</tspan>";
    }
    return t;
}

}  // namespace

std::string runGraphSvg(const CheckReport& report, const RunSeries& series) {
    const Scale sc = makeScale(series);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      std::to_string(kGraphWidth) + "\" height=\"" + std::to_string(kGraphHeight) + "\" viewBox=\"0 0 " +
                      std::to_string(kGraphWidth) + " " + std::to_string(kGraphHeight) +
                      "\" font-family=\"Segoe UI, DejaVu Sans, Arial, sans-serif\" font-size=\"13\">\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    text(out, kLeft, 28, "font-size=\"16\"", title(report));
    axes(out, sc, series.runStarted);
    guides(out, sc);
    curve(out, series, sc);
    presses(out, series, sc);
    wrongSettings(out, series, sc);
    out += "</svg>\n";
    return out;
}

}  // namespace rw
