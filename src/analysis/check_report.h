#pragma once
// What is said about one checked demo, as plain text: the rows of the result
// panel in runwarden-check's words, or why the demo was rejected. The command
// line prints it and the Windows program copies it to the clipboard.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/check_result.h"
#include "records/records_database.h"

namespace rw {

struct CheckReport {
    std::string file;  // as given; empty: the text has no file line
    int32_t status = 0;
    std::string message;  // failure text; empty on success
    std::string demo;
    std::string map;
    std::string player;
    std::optional<std::string> steamId;
    std::string profileAddress;
    std::string time;
    std::string fps;
    float fpsAverage = 0.0f;
    std::vector<std::string> settings;
    std::vector<std::string> worldRecords;
    std::string entry;  // the demo's path inside the archive `file`; empty for a plain demo
    std::string graphSvg;  // the run graph, when asked for and the run was judged
    // Where the run graph was written: none when not asked for, empty when
    // asked for but not drawn (a rejected demo) or not written.
    std::optional<std::string> graph;
};

// UTF-8 texts of a result published with `status`; world-record lines come
// from `records` when given.
CheckReport makeReport(const std::string& file, const ResultFields& result, int32_t status,
                       const RecordsDatabase* records);

// The file line (when there is a file), then one indented row per field.
std::string toText(const CheckReport& report);

}  // namespace rw
