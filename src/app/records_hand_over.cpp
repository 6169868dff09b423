#include "app/records_hand_over.h"

#include <memory>
#include <utility>

namespace rw::app {

UpdatePassEnd updateAndHandOver(CheckResult& result, RecordsHandOver& records, UpdateHost& host,
                                const UpdateSettings& settings, const std::filesystem::path& recordsFile) {
    auto db = std::make_unique<RecordsDatabase>(recordsFile);
    const UpdatePassEnd end = runUpdatePass(result, *db, host, settings);
    records.publish(std::move(db));
    return end;
}

}  // namespace rw::app
