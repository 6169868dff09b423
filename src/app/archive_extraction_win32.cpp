#include "app/archive_extraction_win32.h"

#include <windows.h>

#include <array>

#include "app/archive_listing.h"
#include "app/archiver_process_win32.h"
#include "app/startup_values_win32.h"
#include "platform/file_system.h"
#include "platform/win32/handle.h"

namespace rw::app {
namespace {

constexpr std::wstring_view kOpeningFailed = L"Opening file failed!";
constexpr std::wstring_view kNotADemo = L"File is not a HLDEMO!";

// The listing file lives only while the listing is read.
class ListingFile {
public:
    explicit ListingFile(const WideText& folder) {
        if (GetTempFileNameW(folder.c_str(), L"RW", 0, path_.data()) == 0) path_.fill(L'\0');
    }
    ListingFile(const ListingFile&) = delete;
    ListingFile& operator=(const ListingFile&) = delete;
    ~ListingFile() {
        if (created()) platform::removeFile(path());
    }
    bool created() const { return path_[0] != L'\0'; }
    std::filesystem::path path() const { return std::filesystem::path(path_.data()); }

    // An inheritable handle that writes the file from its start.
    platform::KernelHandle openForOutput() const {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        return platform::KernelHandle(
            CreateFileW(path_.data(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, TRUNCATE_EXISTING, 0, nullptr));
    }

private:
    std::array<wchar_t, MAX_PATH + 1> path_{};
};

std::optional<std::wstring> listFirstDemo(const StartupValues& values, std::wstring_view archivePath,
                                          CheckResult& result) {
    ListingFile listing(values.tempFolder);
    const auto command = listingCommand(values.archiverFolder.view(), archivePath);
    if (!listing.created() || !command) {
        reportFailure(result, kOpeningFailed, status::openFailed);
        return std::nullopt;
    }
    {
        platform::KernelHandle output = listing.openForOutput();
        const auto exitCode = output ? runArchiver(*command, output.get()) : std::nullopt;
        if (!exitCode || *exitCode != 0) {
            reportFailure(result, kOpeningFailed, status::openFailed);
            return std::nullopt;
        }
    }
    const auto bytes = platform::readFileBounded(listing.path(), 1, kMaxListingSize);
    if (!bytes) {
        reportFailure(result, kOpeningFailed, status::openFailed);
        return std::nullopt;
    }
    auto entry = firstDemoEntry(*bytes);
    if (!entry) reportFailure(result, kNotADemo, status::noDemoInArchive);
    return entry;
}

}  // namespace

std::optional<ExtractedDemo> extractFirstDemo(std::wstring_view archivePath, CheckResult& result) {
    const StartupValues& values = startupValues();
    // Without WinRAR's folder there is nothing to run; a root-folder rar.exe
    // must not be taken for it.
    if (!values.archiverFound || !SetCurrentDirectoryW(values.tempFolder.c_str())) {
        reportFailure(result, kOpeningFailed, status::openFailed);
        return std::nullopt;
    }
    const auto entry = listFirstDemo(values, archivePath, result);
    if (!entry) return std::nullopt;

    ExtractedDemo demo;
    demo.fileName = std::wstring(entryFileName(*entry));
    demo.path = std::filesystem::path(values.tempFolder.view()) / demo.fileName;
    // A file of that name left from an earlier run would be checked in place
    // of the archive's demo if rar.exe declined to overwrite it.
    const auto extraction = extractionCommand(values.archiverFolder.view(), archivePath, *entry);
    if (!extraction || !platform::removeFile(demo.path)) {
        reportFailure(result, kOpeningFailed, status::openFailed);
        return std::nullopt;
    }
    // Its exit code is not examined: a missing demo fails when it is opened.
    runArchiver(*extraction, nullptr);
    return demo;
}

}  // namespace rw::app
