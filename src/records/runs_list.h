#pragma once
// The world-record list (demos_tcl.txt): 8-bit text, one run per line after a
// first line that is not used. Each line is a map name, ended by the first
// blank or "[", and the run text: the rest of the line less that one blank,
// or from the "[" on.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "records/records_database.h"

namespace rw {

// Longest line the list may hold, line break excluded.
inline constexpr size_t kRunsLineMax = 259;

struct RunsLine {
    std::string_view name;  // as written, not yet lowered
    std::string_view run;
};

// Splits one line (without its line break). None for a line that names no map
// (empty, or beginning with a blank or "["), for a line with no blank or "["
// after the name, and for a line longer than kRunsLineMax.
std::optional<RunsLine> parseRunsLine(std::string_view line);

// Appends each line's run text, in list order, to the runs of the map it
// names (lower-cased, looked up with findMap). Lines end at LF or CR LF; a
// lone CR belongs to its line; the last line may lack a break. Lines for
// unknown maps are ignored, and nothing is merged unless the database is
// loaded. Takes any bytes.
void mergeRunsList(RecordsDatabase& db, std::span<const uint8_t> listBytes);

}  // namespace rw
