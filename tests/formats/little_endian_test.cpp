#include "formats/little_endian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using bytes = std::vector<std::uint8_t>;

// Bytes with the top bit set must not spread into the higher bits, and the
// lowest byte comes first.
TEST(LittleEndian, LoadsAndStores) {
    const struct {
        bytes stored;
        std::uint16_t u16;
        std::uint32_t u32;
    } cases[] = {
        {{0x78, 0x56, 0x34, 0x12}, 0x5678, 0x12345678u},
        {{0x00, 0x00, 0x00, 0x00}, 0x0000, 0x00000000u},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF, 0xFFFFFFFFu},
        {{0x80, 0x00, 0x00, 0x00}, 0x0080, 0x00000080u},
        {{0x00, 0x80, 0x00, 0x00}, 0x8000, 0x00008000u},
        {{0x00, 0x00, 0x80, 0x00}, 0x0000, 0x00800000u},
        {{0x00, 0x00, 0x00, 0x80}, 0x0000, 0x80000000u},
        {{0xFC, 0xFF, 0xFF, 0x7F}, 0xFFFC, 0x7FFFFFFCu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.u32);
        EXPECT_EQ(formats::load_u16(c.stored.data()), c.u16);
        EXPECT_EQ(formats::load_u32(c.stored.data()), c.u32);

        bytes stored(6, 0xAA);
        formats::store_u32(stored.data() + 1, c.u32);
        bytes expected = {0xAA, c.stored[0], c.stored[1], c.stored[2], c.stored[3], 0xAA};
        EXPECT_EQ(stored, expected);

        bytes appended = {0x11, 0x22};
        formats::append_u32(&appended, c.u32);
        expected = {0x11, 0x22, c.stored[0], c.stored[1], c.stored[2], c.stored[3]};
        EXPECT_EQ(appended, expected);
    }
}

}  // namespace
