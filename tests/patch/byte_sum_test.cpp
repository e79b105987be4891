#include "patch/byte_sum.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using testing_support::bytes;

struct sum_case {
    const char* name;
    bytes content;
    std::uint32_t sum;
};

TEST(ByteSum, CountsEveryByteAsSigned) {
    const sum_case cases[] = {
        {"empty", {}, 0},
        {"ascii letters", {'a', 'b', 'c'}, 0x126},
        {"one 0xFF", {0xFF}, 0xFFFFFFFF},
        {"two 0xFF", {0xFF, 0xFF}, 0xFFFFFFFE},
        {"0x80 subtracts 128", {0x80, 0x01}, static_cast<std::uint32_t>(-127)},
        {"positive and negative cancel", {0x7F, 0x81}, 0},
    };
    for (const sum_case& c : cases) EXPECT_EQ(patch::byte_sum(c.content), c.sum) << c.name;
}

TEST(ByteSum, WrapsModulo2To32) {
    bytes many(40'000'000, 0x7F);  // 127 * 40e6 passes 2^32
    std::uint64_t exact = 127ull * many.size();
    EXPECT_EQ(patch::byte_sum(many), static_cast<std::uint32_t>(exact));
    EXPECT_EQ(patch::byte_sum(bytes{0x01}, 0xFFFFFFFF), 0u);
}

// The sum taken eight bytes at a time equals a plain byte-by-byte one for
// every length around its word and block sizes, every start within a word,
// and the bytes that fill its lanes most.
TEST(ByteSum, EqualsAPlainSumAtEveryLengthAndAlignment) {
    auto plain = [](const std::uint8_t* at, std::size_t n) {
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < n; ++i) sum += static_cast<std::uint32_t>(static_cast<std::int8_t>(at[i]));
        return sum;
    };
    const struct {
        const char* name;
        std::uint8_t (*byte)(std::size_t);
    } fills[] = {
        {"0x7F", [](std::size_t) -> std::uint8_t { return 0x7F; }},
        {"0x80", [](std::size_t) -> std::uint8_t { return 0x80; }},
        {"0xFF", [](std::size_t) -> std::uint8_t { return 0xFF; }},
        {"mixed", [](std::size_t i) { return static_cast<std::uint8_t>(i * 2654435761u >> 13); }},
    };
    for (const auto& fill : fills) {
        bytes data(3000);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = fill.byte(i);
        for (std::size_t start = 0; start < 8; ++start)
            for (std::size_t n : {0, 1, 7, 8, 9, 1023, 1024, 1025, 2047, 2048, 2049, 2990})
                EXPECT_EQ(patch::byte_sum({data.data() + start, n}, 5), plain(data.data() + start, n) + 5)
                    << fill.name << ", " << n << " bytes from " << start;
    }
}

TEST(ByteSum, OfAFileMatchesItsBytes) {
    testing_support::scratch_folder folder;
    bytes content;
    for (int i = 0; i < 200000; ++i) content.push_back(static_cast<std::uint8_t>(i * 131 + 7));
    ASSERT_TRUE(testing_support::write_bytes(folder / "f.bin", content));
    std::uint32_t sum = 0;
    ASSERT_TRUE(patch::file_byte_sum((folder / "f.bin").c_str(), &sum));
    EXPECT_EQ(sum, patch::byte_sum(content));
    EXPECT_FALSE(patch::file_byte_sum((folder / "missing.bin").c_str(), &sum));
}

}  // namespace
