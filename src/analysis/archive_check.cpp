#include "analysis/archive_check.h"

#include "analysis/demo_walk.h"

namespace rw {

void reportArchiveWithoutDemo(platform::ArchiveOutcome outcome, CheckResult& result) {
    if (outcome == platform::ArchiveOutcome::noDemo) {
        reportFailure(result, kNotADemo, status::noDemoInArchive);
    } else {
        reportFailure(result, kOpeningFailed, status::openFailed);
    }
}

std::wstring archiveNameFromPath(std::wstring_view path) {
    return demoNameFromPath(std::wstring(platform::withoutArchiveExtension(path)) + L".dem");
}

}  // namespace rw
