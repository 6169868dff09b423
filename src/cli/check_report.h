#pragma once
// What runwarden-check says about one demo, as text or as a JSON line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/check_result.h"
#include "records/records_database.h"

namespace rw::cli {

struct CheckReport {
    std::string file;  // as given
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
};

CheckReport makeReport(const std::string& file, const CheckResult& result, const RecordsDatabase* records);
std::string toJsonLine(const CheckReport& report);
std::string toText(const CheckReport& report);
// A JSON string literal, quotes included; bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);

}  // namespace rw::cli
