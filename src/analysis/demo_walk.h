#pragma once
// One check of a demo: the header test, the walk over its frames with the run
// findings and the button detection, and the verdicts, all published in the
// given CheckResult. Keeps no state between calls, so checks of different
// demos may run in parallel, each with its own CheckResult.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/run_series.h"
#include "base/check_result.h"
#include "platform/async_file.h"
#include "records/records_database.h"

namespace rw {

inline constexpr std::wstring_view kOpeningFailed = L"Opening file failed!";
inline constexpr std::wstring_view kNotADemo = L"File is not a HLDEMO!";

// Checks the demo file. The records are used for the map's buttons only when
// given and loaded. A demo taken out of an archive (fromArchive) is deleted on
// every way out. The demo name is the caller's to set. When a series is
// given, the run's frame rates are gathered into it on the same walk.
void checkDemoFile(const std::filesystem::path& demoPath, bool fromArchive, const RecordsDatabase* records,
                   CheckResult& result, RunSeries* series = nullptr);

// The same check through a demo already opened (null: it could not be). An
// extracted demo's file is deleted before the outcome is published, so the
// next check may extract to the same name.
void checkDemo(std::unique_ptr<platform::AsyncFile> demo, const std::filesystem::path* extracted,
               const RecordsDatabase* records, CheckResult& result, RunSeries* series = nullptr);

// The chosen file's name without its folder (up to the last backslash or
// slash) and without its last four characters (".dem").
std::wstring demoNameFromPath(std::wstring_view path);

}  // namespace rw
