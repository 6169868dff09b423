#pragma once
// Lays out the folders the two web servers serve, so that any static web
// server can host them:
//
//   update server         intern/Runwarden/changelog.txt
//                         intern/Runwarden/RecData.dat
//                         intern/Runwarden/x64/UpdateData.dat
//                         intern/Runwarden/x64/Runwarden.exe
//   records-list server   demos_tcl.txt
//
// Every input is checked the way the program will check what it downloads,
// and every file is written beside its target first and then moved over it,
// so a server never hands out a half-written file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace rw::publish {

inline constexpr const char* kChangeLogPath = "intern/Runwarden/changelog.txt";
inline constexpr const char* kRecordsPath = "intern/Runwarden/RecData.dat";
inline constexpr const char* kDescriptorPath = "intern/Runwarden/x64/UpdateData.dat";
inline constexpr const char* kProgramPath = "intern/Runwarden/x64/Runwarden.exe";
inline constexpr const char* kRunsListPath = "demos_tcl.txt";

struct ReleaseInput {
    std::filesystem::path program;
    uint32_t version = 0;
    std::filesystem::path changeLog;
    std::filesystem::path out;  // the update server's folder
    std::optional<std::filesystem::path> key;  // the release key's private half: signs the program
};

struct ReleaseSummary {
    uint32_t version = 0;
    uint32_t programCrc = 0;
    size_t programSize = 0;
    size_t changeLogSize = 0;
    std::vector<std::string> warnings;
};

// Writes the program, the change log and last the descriptor, so a client
// never reads a descriptor whose program is not yet in place. A failure's text
// names the file first: "FILE: error: what".
Result<ReleaseSummary> publishRelease(const ReleaseInput& in);

struct RecordsInput {
    std::optional<std::filesystem::path> recData;
    std::optional<std::filesystem::path> runsList;
    std::filesystem::path out;      // the update server's folder (for RecData.dat)
    std::filesystem::path listOut;  // the records-list server's folder (for demos_tcl.txt)
    std::optional<std::filesystem::path> key;  // the release key's private half: signs RecData.dat
};

struct RecordsSummary {
    uint32_t revision = 0;
    size_t maps = 0;
    size_t recDataSize = 0;
    size_t runLines = 0;         // list lines that name a map and a run
    size_t unknownMapLines = 0;  // of those, lines whose map RecData.dat does not hold
    size_t listSize = 0;
    std::vector<std::string> warnings;
};

Result<RecordsSummary> publishRecords(const RecordsInput& in);

}  // namespace rw::publish
