#pragma once
// How the records database reaches the checks. The update pass fills a
// database that no other thread can see yet and hands it over when the pass
// ends; each check takes it from the hand-over, waiting on its own thread if
// the pass is not done. The window thread only peeks, and never waits for a
// worker's thread to end.
#include <filesystem>

#include "base/check_result.h"
#include "base/hand_over.h"
#include "records/records_database.h"
#include "update/self_update.h"

namespace rw::app {

using RecordsHandOver = HandOver<RecordsDatabase>;

// The update thread's work: the whole pass over a new database for
// `recordsFile`, which is handed over however the pass ends, so no check
// waits for it in vain. Nothing is thrown out of it.
UpdatePassEnd updateAndHandOver(CheckResult& result, RecordsHandOver& records, UpdateHost& host,
                                const UpdateSettings& settings, const std::filesystem::path& recordsFile);

}  // namespace rw::app
