#pragma once
// The UpdateThread's pass: finish an update the previous run began, show the
// change log after it, offer a newer program from the update server, replace
// the program file and restart into it, else refresh the records database.
// Every decision lives here; the prompts, the command line, the clock and the
// file and process operations go through an UpdateHost.
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/check_result.h"
#include "records/records_database.h"
#include "update/records_refresh.h"
#include "rw_config.h"

namespace rw {

inline constexpr uint32_t programVersion = RW_PROGRAM_VERSION;

inline constexpr std::wstring_view kProgramFileName = L"Runwarden.exe";
inline constexpr std::wstring_view kUpdatingFileName = L"Updating.tmp";
// The verified new program while it is written, beside the running one.
inline constexpr std::wstring_view kDownloadFileName = L"Runwarden.new";
// How many "Updating-N.tmp" names a stuck "Updating.tmp" may be moved to;
// leftovers under them are removed at start.
inline constexpr int kLeftoverNamesMax = 100;
inline constexpr std::wstring_view kDeleteSwitch = L"-delete ";
inline constexpr std::wstring_view kRestartParameters = L"\"-delete Updating.tmp\"";
// The switch argument lives in a 260-character buffer; longer ones are refused.
inline constexpr size_t kSwitchArgumentMax = 259;
// Giving up on deleting the previous program, or on moving the old program
// back after a failed start, after this long.
inline constexpr uint64_t kDeleteRetryLimitMs = 10000;
inline constexpr uint32_t kMoveBackRetryMs = 10;

inline constexpr std::wstring_view kUpdatedText = L"Updated Successfully";
inline constexpr std::wstring_view kUpdatingText = L"Updating Software ...";
inline constexpr std::wstring_view kUpdateFailedText = L"Update Failed!";

// Caps on what is held in memory.
inline constexpr size_t kChangeLogLimit = 1u << 20;
inline constexpr size_t kProgramFileLimit = 64u << 20;
inline constexpr size_t kDescriptorLimit = 1024;
// The program's transfer may take longer than the others.
inline constexpr std::chrono::milliseconds kProgramDeadline = std::chrono::seconds(300);

// The UI and OS side of the pass. The update's files are named by full paths
// in the program's own folder.
class UpdateHost {
public:
    virtual ~UpdateHost() = default;
    // The process's arguments, the program path first.
    virtual std::vector<std::wstring> commandLineArguments() = 0;
    virtual bool deleteFile(const std::filesystem::path& path) = 0;
    virtual bool fileExists(const std::filesystem::path& path) = 0;
    virtual void sleepMilliseconds(uint32_t ms) = 0;
    virtual uint64_t steadyMilliseconds() = 0;
    // The running program's own full path; none when it cannot be had. Its
    // folder is where the update's files live.
    virtual std::optional<std::filesystem::path> modulePath() = 0;
    // Moves a file; fails when the target exists.
    virtual bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Starts the program with these parameters; true when it started.
    virtual bool startProgram(const std::filesystem::path& file, std::wstring_view parameters) = 0;
    // The change log box; `text` is 8-bit text in the ANSI code page.
    virtual void showChangeLog(const std::string& text) = 0;
    // The update prompt; true only for yes.
    virtual bool confirmUpdate() = 0;
    // Asks the main window to close without waiting for it.
    virtual void closeMainWindow() = 0;
    // While held, the window refuses a close from the user: the program file
    // is being swapped, which lasts milliseconds.
    virtual void holdClose(bool hold) = 0;
};

struct UpdateSettings {
    std::string updateFolderUrl;  // ends with "/intern/Runwarden/"
    RecordsSources records;       // its release key signs everything the update server sends
    uint32_t programVersion = rw::programVersion;
    // Without a release key, program updates are offered only when allowed.
    bool unsignedProgramUpdates = false;
    std::chrono::milliseconds programDeadline = kProgramDeadline;
};

// The build's update server: RW_UPDATE_SERVER "/intern/Runwarden/", the
// records sources of defaultRecordsSources() and RW_UNSIGNED_UPDATES.
UpdateSettings defaultUpdateSettings();

// The update descriptor UpdateData.dat: newest version and the CRC-32 of its
// program file, little-endian; bytes past the first 8 are ignored.
struct UpdateDescriptor {
    uint32_t version = 0;
    uint32_t programCrc = 0;
};
inline constexpr size_t kUpdateDescriptorSize = 8;
std::optional<UpdateDescriptor> parseUpdateDescriptor(std::span<const uint8_t> bytes);
std::array<uint8_t, kUpdateDescriptorSize> encodeUpdateDescriptor(const UpdateDescriptor& descriptor);

enum class UpdatePassEnd {
    Finished,   // the pass is over; the program keeps running
    Restarted,  // a newer copy was started and the main window was asked to close
};

// Whether a descriptor's version is offered: signed, only a higher one;
// unsigned and allowed, any other; unsigned otherwise, none.
bool offersVersion(const UpdateSettings& settings, uint32_t version);

// The whole pass. Writes the message text and status code of `result`;
// `runsList`, when given, receives the merged records list bytes. A relative
// records file name is taken in the program's own folder.
UpdatePassEnd runUpdatePass(CheckResult& result, RecordsDatabase& db, UpdateHost& host, const UpdateSettings& settings,
                            std::optional<std::vector<uint8_t>>* runsList = nullptr);

}  // namespace rw
