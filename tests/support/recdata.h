#pragma once
// RecData.dat images for tests, compiled from the records text form by the
// program's own encoder. It writes only well-formed files: malformed ones are
// byte edits of its output.
#include <cstdint>
#include <string_view>
#include <vector>

namespace rw::test {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(std::string_view text);
// Revision 1 unless the text gives one; text that does not compile aborts.
Bytes recData(std::string_view text);
// Stores the checksum of the body as it now is, e.g. after cutting or extending it.
Bytes resealed(Bytes file);

}  // namespace rw::test
