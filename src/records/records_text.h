#pragma once
// The text form of RecData.dat that the records server's maintainers edit;
// runwarden-recdata compiles it and dumps files back into it. Dumping and
// compiling again gives the same file byte for byte.
//
//   # '#' starts a comment, outside quotes, to the end of the line
//   revision 57                 the file's revision (or give --revision)
//   format 2                    format version; 2 when left out
//
//   map kz_cave                 one block per map, up to the next "map"
//     mode 1                    detection mode 0-255, before the entries
//     start pattern 0a 1b 2c    a message pattern, 1-255 bytes in hex
//     stop pattern 0a1b2d       (blanks between bytes are optional)
//
//   map "KZ Caves\x00"          quotes for any other name: \" \\ \xHH
//     mode 3
//     start pattern 01 02 03
//     start position 1024 -512 64         mode 3 only: button at x y z
//     stop position 1100 -512 64 kind 2   kind byte, when not 0
//
// A bare name is printable ASCII without blanks, quotes, '#' or '\'. The name
// is stored as written; the program lowers it and ends it at the first NUL.
// revision and format come before the first map. A list holds at most 255
// entries. Lines end at LF or CR LF.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "records/records_image.h"

namespace rw {

struct RecordsTextIssue {
    size_t line = 0;  // 1-based; 0 for the text as a whole
    std::string message;
};

struct RecordsText {
    RecordsImage image;
    bool hasRevision = false;  // false: the revision must come from elsewhere
    // Legal but probably unintended: two maps with one name, modes that
    // detect nothing, empty names.
    std::vector<RecordsTextIssue> warnings;
};

// The image the text describes, or its first error (malformed), worded as
// "SOURCE:LINE: error: what" with the source named as given.
Result<RecordsText> parseRecordsText(std::string_view text, std::string_view source);
std::string printRecordsText(const RecordsImage& image);

}  // namespace rw
