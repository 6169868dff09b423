// The libarchive functions archive_posix.cpp calls, loaded with the library
// on the first archive: with its XML and Unicode libraries behind it, it would
// otherwise double the start of every check. A backend that calls another
// one needs it added here.
#include <archive.h>
#include <archive_entry.h>

#include "platform/posix/lazy_library_posix.h"

#define RW_ARCHIVE "libarchive.so.13"

extern "C" {

RW_FORWARD(RW_ARCHIVE, struct archive*, archive_read_new, (void), (), nullptr)
RW_FORWARD(RW_ARCHIVE, int, archive_read_free, (struct archive * a), (a), ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, int, archive_read_support_filter_all, (struct archive * a), (a), ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, int, archive_read_support_format_all, (struct archive * a), (a), ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, int, archive_read_open_filename, (struct archive * a, const char* name, size_t block),
           (a, name, block), ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, int, archive_read_next_header, (struct archive * a, struct archive_entry** entry), (a, entry),
           ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, la_ssize_t, archive_read_data, (struct archive * a, void* buffer, size_t size),
           (a, buffer, size), ARCHIVE_FATAL)
RW_FORWARD(RW_ARCHIVE, __LA_MODE_T, archive_entry_filetype, (struct archive_entry * e), (e), 0)
RW_FORWARD(RW_ARCHIVE, const char*, archive_entry_pathname, (struct archive_entry * e), (e), nullptr)
RW_FORWARD(RW_ARCHIVE, const char*, archive_entry_pathname_utf8, (struct archive_entry * e), (e), nullptr)
RW_FORWARD(RW_ARCHIVE, int, archive_entry_size_is_set, (struct archive_entry * e), (e), 0)
RW_FORWARD(RW_ARCHIVE, la_int64_t, archive_entry_size, (struct archive_entry * e), (e), 0)

}  // extern "C"
