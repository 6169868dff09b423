#include "records/records_database.h"

#include <algorithm>
#include <limits>


namespace rw {
namespace {

// Names hold no NUL (they are cut at the first one), and string_view compares
// chars as unsigned bytes with a shorter name before a longer one it starts.
bool nameBefore(const MapRecord& a, const MapRecord& b) { return a.name < b.name; }

std::vector<bool> kindBits(const std::vector<StoredEntry>& entries) {
    std::vector<bool> bits;
    bits.reserve(entries.size());
    for (const StoredEntry& e : entries) bits.push_back(e.isPattern());
    return bits;
}

std::vector<ByteString> entryBytes(std::vector<StoredEntry>& entries) {
    std::vector<ByteString> out;
    out.reserve(entries.size());
    for (StoredEntry& e : entries) out.push_back(std::move(e.bytes));
    return out;
}

}  // namespace

RecordsDatabase::RecordsDatabase(std::filesystem::path name) : fileName(std::move(name)) {}

void RecordsDatabase::decodeRecords(RecordsImage image) {
    records.clear();
    records.reserve(image.maps.size());
    for (StoredMap& stored : image.maps) {
        MapRecord rec;
        rec.name = mapNameOf(stored.nameField);
        rec.mode = stored.mode;
        if (stored.mode == kPositionMode) {
            rec.startKinds = kindBits(stored.startEntries);
            rec.stopKinds = kindBits(stored.stopEntries);
        }
        rec.startEntries = entryBytes(stored.startEntries);
        rec.stopEntries = entryBytes(stored.stopEntries);
        records.push_back(std::move(rec));
    }
    const bool strictlyAscending =
        std::adjacent_find(records.begin(), records.end(), [](const MapRecord& a, const MapRecord& b) {
            return !nameBefore(a, b);
        }) == records.end();
    if (!strictlyAscending) std::stable_sort(records.begin(), records.end(), nameBefore);
    state = RecordsState::loaded;
}

std::optional<size_t> RecordsDatabase::findMap(std::string_view lowerName) const {
    if (state != RecordsState::loaded || records.empty()) return std::nullopt;
    // Names compare up to the first NUL, so a key is cut there as well.
    const std::string_view key = lowerName.substr(0, lowerName.find('\0'));
    // Signed bounds: high drops to -1 when the key sorts before the first name.
    int64_t low = 0;
    int64_t high = static_cast<int64_t>(records.size()) - 1;
    while (low <= high) {
        const int64_t middle = (low + high) / 2;  // both non-negative here
        const int order = key.compare(records[static_cast<size_t>(middle)].name);
        if (order == 0) return static_cast<size_t>(middle);
        if (order > 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return std::nullopt;
}

uint32_t RecordsDatabase::runCount(std::string_view lowerName) const {
    const auto index = findMap(lowerName);
    if (!index) return 0;
    const size_t n = records[*index].runs.size();
    return static_cast<uint32_t>(std::min<size_t>(n, std::numeric_limits<uint32_t>::max()));
}

std::string RecordsDatabase::runAt(std::string_view lowerName, uint32_t index) const {
    const auto found = findMap(lowerName);
    if (!found) return {};
    const auto& runs = records[*found].runs;
    if (index >= runs.size()) return {};
    return runs[index];
}

}  // namespace rw
