#pragma once
// Command-line options of runwarden-check.
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace rw::cli {

struct CheckOptions {
    std::vector<std::string> demos;  // files or folders, as given (UTF-8)
    std::string recordsPath;         // --records; empty: RecData.dat here when present
    std::string runsPath;            // --runs
    std::string graphPath;           // --graph: a file for one demo, a folder for several
    bool json = false;
    bool recursive = false;
    unsigned jobs = 0;  // 0: one per core
    bool refresh = false;
    std::string updateServer;  // --update-server, base URL
    std::string listServer;    // --list-server, base URL
    bool help = false;
    bool version = false;
};

// The options, or a usage failure (said on stderr with exit code 2).
Result<CheckOptions> parseCheckOptions(const std::vector<std::string>& args);
std::string checkUsage();

}  // namespace rw::cli
