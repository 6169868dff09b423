#pragma once
// What a check says about an archive itself, beside the demos inside it.
#include <string>
#include <string_view>

#include "base/check_result.h"
#include "platform/archive.h"

namespace rw {

// The one report of an archive that gave no demo to check: it could not be
// read (-1), or no entry is a demo (-3).
void reportArchiveWithoutDemo(platform::ArchiveOutcome outcome, CheckResult& result);

// An archive's name without its folder and its archive ending (".tar.gz").
std::wstring archiveNameFromPath(std::wstring_view path);

}  // namespace rw
