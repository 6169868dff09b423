#pragma once
// The run graph: frame rate against run time (or demo time when no run was
// timed) as a lowest-to-highest band with the mean line, guides at 85 and 100
// fps, marks at the start and stop presses, a red tick with the setting's name
// where a setting was wrong, and the panel's figures as its title. A
// standalone SVG document of 1200 by 400: no script, no font or file of its own.
#include <string>

#include "analysis/check_report.h"
#include "analysis/run_series.h"

namespace rw {

inline constexpr int kGraphWidth = 1200;
inline constexpr int kGraphHeight = 400;

std::string runGraphSvg(const CheckReport& report, const RunSeries& series);

}  // namespace rw
