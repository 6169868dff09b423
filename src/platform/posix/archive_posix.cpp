// Archives through libarchive: one pass over the entries, each demo streamed
// into a private file, so memory stays small whatever the entry's size.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/archive.h"
#include "platform/file_system.h"

namespace rw::platform {
namespace {

constexpr size_t kBlock = 64 * 1024;

// libarchive turns entry times into time_t with mktime, which rereads the
// time zone into a global of the C library. The C library guards it with a
// lock ThreadSanitizer cannot see, so headers are read one thread at a time;
// entry data, the bulk of the work, is still read in parallel.
std::mutex gHeaderLock;

struct ReaderFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};
using Reader = std::unique_ptr<archive, ReaderFree>;

// A fresh folder only this user can enter, removed with all it holds.
class PrivateFolder {
public:
    PrivateFolder() {
        std::error_code ec;
        std::string name = (std::filesystem::temp_directory_path(ec) / "runwarden-XXXXXX").string();
        if (!ec && mkdtemp(name.data())) path_ = name;
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// libarchive turns entry names into the thread's character set; in the C
// locale a non-ASCII name would be lost. The UTF-8 locale is set for this
// thread alone, while it reads an archive.
class Utf8ThreadLocale {
public:
    Utf8ThreadLocale() : utf8_(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
        if (utf8_) previous_ = uselocale(utf8_);
    }
    Utf8ThreadLocale(const Utf8ThreadLocale&) = delete;
    Utf8ThreadLocale& operator=(const Utf8ThreadLocale&) = delete;
    ~Utf8ThreadLocale() {
        if (!utf8_) return;
        uselocale(previous_);
        freelocale(utf8_);
    }

private:
    locale_t utf8_;
    locale_t previous_ = nullptr;
};

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Streams the current entry's data into a new file: false when the data is
// damaged or encrypted, a write fails, or the data grows past the limit.
bool unpackEntry(archive* reader, const std::filesystem::path& file, uint64_t limit) {
    Descriptor out(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) return false;
    std::array<char, kBlock> block;
    uint64_t total = 0;
    while (true) {
        const la_ssize_t n = archive_read_data(reader, block.data(), block.size());
        if (n == 0) return out.close();
        if (n < 0 || static_cast<uint64_t>(n) > limit - total) return false;
        total += static_cast<uint64_t>(n);
        if (!writeAll(out.get(), block.data(), static_cast<size_t>(n))) return false;
    }
}

bool isDemoEntry(archive_entry* entry, const char* name) {
    const std::string_view path = name ? name : "";
    return archive_entry_filetype(entry) == AE_IFREG && path.size() > 4 && path.ends_with(".dem");
}

}  // namespace

std::vector<std::wstring> archiveExtensions() {
    return {L".zip", L".7z", L".rar", L".tar", L".tar.gz", L".tar.xz"};
}

std::vector<std::wstring> openableArchiveExtensions() { return archiveExtensions(); }

ArchiveOutcome visitArchiveDemos(const std::filesystem::path& archivePath,
                                 const std::function<void(const ArchiveDemo&)>& visit, uint64_t entryLimit) {
    const Utf8ThreadLocale locale;
    Reader reader(archive_read_new());
    if (!reader) return ArchiveOutcome::unreadable;
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    {
        const std::lock_guard headers(gHeaderLock);
        if (archive_read_open_filename(reader.get(), archivePath.c_str(), kBlock) != ARCHIVE_OK)
            return ArchiveOutcome::unreadable;
    }
    const PrivateFolder folder;
    if (folder.path().empty()) return ArchiveOutcome::unreadable;
    const std::filesystem::path file = folder.path() / "entry.dem";

    bool anyDemo = false;
    archive_entry* entry = nullptr;
    while (true) {
        const int header = [&] {
            const std::lock_guard headers(gHeaderLock);
            return archive_read_next_header(reader.get(), &entry);
        }();
        if (header == ARCHIVE_EOF) break;
        if (header < ARCHIVE_WARN) return anyDemo ? ArchiveOutcome::read : ArchiveOutcome::unreadable;
        const char* name = archive_entry_pathname_utf8(entry);
        if (!name) name = archive_entry_pathname(entry);
        if (!isDemoEntry(entry, name)) continue;
        anyDemo = true;
        ArchiveDemo demo{name, {}};
        // A size the header declares past the limit is refused before any byte is written.
        const bool fits = !archive_entry_size_is_set(entry) ||
                          static_cast<uint64_t>(archive_entry_size(entry)) <= entryLimit;
        const bool taken = fits && unpackEntry(reader.get(), file, entryLimit);
        if (taken) demo.file = file;
        visit(demo);
        removeFile(file);
        if (!taken) break;
    }
    return anyDemo ? ArchiveOutcome::read : ArchiveOutcome::noDemo;
}

}  // namespace rw::platform
