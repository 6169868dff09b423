#include "records/runs_list.h"

#include <string>

#include "base/line_splitter.h"

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
    if (db.state != RecordsState::loaded) return;
    const std::string_view text(reinterpret_cast<const char*>(listBytes.data()), listBytes.size());
    LineSplitter lines(text);
    std::string_view line;
    lines.next(line);  // the first line is the list's title
    while (lines.next(line)) {
        const auto parsed = parseRunsLine(line);
        if (!parsed) continue;
        const auto index = db.findMap(lowerAscii(parsed->name));
        if (index) db.records[*index].runs.emplace_back(parsed->run);
    }
}

}  // namespace rw
