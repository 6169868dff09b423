#include "records/runs_list.h"

#include <string>

namespace rw {

std::optional<RunsLine> parseRunsLine(std::string_view line) {
    if (line.size() > kRunsLineMax) return std::nullopt;
    const size_t end = line.find_first_of(" [");
    // No separator: such a line carries no run, and cutting its last byte off
    // as "run text" would file a stray character under a shorter map name.
    if (end == std::string_view::npos || end == 0) return std::nullopt;
    RunsLine parsed;
    parsed.name = line.substr(0, end);
    parsed.run = line.substr(line[end] == ' ' ? end + 1 : end);
    return parsed;
}

void mergeRunsList(RecordsDatabase& db, std::span<const uint8_t> listBytes) {
    if (db.state != 1) return;
    const std::string_view text(reinterpret_cast<const char*>(listBytes.data()), listBytes.size());
    size_t start = 0;
    bool firstLine = true;
    while (start < text.size()) {
        const size_t lf = text.find('\n', start);
        const size_t stop = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(start, stop - start);
        // Only a CR right before the LF is part of the break.
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = lf == std::string_view::npos ? text.size() : lf + 1;
        if (firstLine) {
            firstLine = false;
            continue;
        }
        const auto parsed = parseRunsLine(line);
        if (!parsed) continue;
        const auto index = db.findMap(lowerAscii(parsed->name));
        if (index) db.records[*index].runs.emplace_back(parsed->run);
    }
}

}  // namespace rw
