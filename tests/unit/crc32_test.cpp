#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "base/byte_cursor.h"
#include "recdata_builder.h"
#include "records/crc32.h"
#include "records/records_file.h"

namespace rw {
namespace {

using test::bytesOf;

TEST(Crc32, KnownVectors) {
    EXPECT_EQ(crc32(bytesOf("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(bytesOf("")), 0u);
    EXPECT_EQ(crc32(bytesOf("The quick brown fox jumps over the lazy dog")), 0x414FA339u);
    EXPECT_EQ(crc32(std::vector<uint8_t>(32, 0x00)), 0x190A55ADu);
}

TEST(Crc32, RecordsBodyChecksumCoversOnlyTheBody) {
    test::RecDataBuilder empty;
    EXPECT_EQ(recordsBodyCrc(empty.bytes()), 0u);
    EXPECT_EQ(recordsBodyCrc(std::vector<uint8_t>(5, 0xAB)), 0u);  // no body at all

    test::RecDataBuilder b;
    b.revision(9).map("kz_a").start({1, 2, 3}).stop({4});
    const auto file = b.bytes();
    EXPECT_EQ(recordsBodyCrc(file), crc32(b.body()));
    EXPECT_EQ(recordsBodyCrc(file), loadU32(file.data() + 8));
}

}  // namespace
}  // namespace rw
