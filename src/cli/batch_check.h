#pragma once
// Checks many demos at a time and hands their reports back in input order.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/json_report.h"
#include "records/records_database.h"

namespace rw::cli {

struct DemoInput {
    std::string shown;  // the path as the user gave it or as found in a folder (UTF-8)
    std::filesystem::path path;
    bool graph = false;  // its run graph is drawn (--graph)
};

std::filesystem::path pathFromUtf8(const std::string& text);
std::string pathToUtf8(const std::filesystem::path& path);

// Files as given; folders replaced by the .dem files in them (sorted), and in
// their subfolders too when recursive. Folders that cannot be read are named
// in errors.
std::vector<DemoInput> expandDemoArguments(const std::vector<std::string>& args, bool recursive,
                                           std::vector<std::string>& errors);

// Where the run graphs go (--graph PATH): PATH itself when one demo file is
// checked; a folder when PATH is one or ends in a separator, or when several
// demos, an archive or a folder are checked. In a folder each demo gets
// NAME.svg, NAME its demo name, and a name met again in this run NAME-2.svg,
// NAME-3.svg..., in report order, so none overwrites another.
struct GraphTarget {
    std::filesystem::path path;
    bool folder = false;
    std::set<std::string> taken;  // file names given in this run, lower-cased
};

// False, with the reason, when the folder cannot be made.
bool makeGraphTarget(const std::vector<DemoInput>& demos, const std::vector<std::string>& args,
                     const std::string& graphPath, GraphTarget& target, std::string& error);

// Writes the report's drawn graph to its place and names the file in
// report.graph; empty when nothing was drawn or the file could not be written.
void writeGraph(GraphTarget& target, CheckReport& report);

struct BatchSummary {
    size_t checked = 0;
    size_t finished = 0;
    size_t rejected = 0;
};

// Starts a thread that runs work, as the std::thread constructor does: it
// throws std::system_error when the system cannot start one.
using StartThread = std::function<std::thread(std::function<void()> work)>;
std::thread startStdThread(std::function<void()> work);

// Runs the checks on up to `jobs` threads; emit is called on the calling
// thread, once per demo, in input order. progress shows a percentage on
// stderr for demos over 64 MiB. Threads that cannot start leave their share
// to those that did, or to the calling thread when none did.
BatchSummary runBatch(const std::vector<DemoInput>& demos, const RecordsDatabase* records, unsigned jobs,
                      bool progress, const std::function<void(const CheckReport&)>& emit,
                      const StartThread& startThread = startStdThread);

}  // namespace rw::cli
