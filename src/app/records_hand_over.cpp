#include "app/records_hand_over.h"

#include <exception>
#include <memory>
#include <utility>

namespace rw::app {

UpdatePassEnd updateAndHandOver(CheckResult& result, RecordsHandOver& records, UpdateHost& host,
                                const UpdateSettings& settings, const std::filesystem::path& recordsFile) {
    auto db = std::make_unique<RecordsDatabase>(recordsFile);
    UpdatePassEnd end = UpdatePassEnd::Finished;
    // A failure ends the pass with a message; the program keeps running, and
    // the checks get a database that was never loaded instead of half of one.
    try {
        end = runUpdatePass(result, *db, host, settings);
    } catch (const std::exception&) {
        db = std::make_unique<RecordsDatabase>(recordsFile);
        host.holdClose(false);
        reportFailure(result, kUpdateFailedText, -1);
    }
    records.publish(std::move(db));
    return end;
}

}  // namespace rw::app
