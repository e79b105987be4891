// The SZDD decoder fed in pieces: whatever the sizes of the input chunks
// and output spans, the result is the same as one call's.
#include "formats/szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/little_endian.h"
#include "patch/szdd_fixtures.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;

// Decodes `compressed` (header included) handing the decoder at most
// `chunk` new input bytes and `span` output bytes at a time; input it
// leaves unconsumed is offered again with the next chunk.
bytes decode_in_pieces(const bytes& compressed, std::size_t chunk, std::size_t span) {
    formats::szdd_header header;
    EXPECT_TRUE(formats::parse_szdd_header(compressed, &header));
    formats::szdd_decoder decoder;
    formats::szdd_decoder_start(&decoder, header.expanded_length);

    bytes pending, out, space(span);
    std::size_t fed = formats::szdd_header_size;
    for (;;) {
        std::size_t more = std::min(chunk, compressed.size() - fed);
        pending.insert(pending.end(), compressed.begin() + static_cast<std::ptrdiff_t>(fed),
                       compressed.begin() + static_cast<std::ptrdiff_t>(fed + more));
        fed += more;
        for (;;) {
            std::size_t consumed = 0;
            std::size_t made = formats::szdd_decode(&decoder, pending, &consumed, space);
            EXPECT_LE(consumed, pending.size());
            EXPECT_LE(made, span);
            out.insert(out.end(), space.begin(), space.begin() + static_cast<std::ptrdiff_t>(made));
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(consumed));
            if (made == 0 && consumed == 0) break;
        }
        if (more == 0) return out;
    }
}

TEST(SzddDecoder, PiecesOfAnySizeGiveTheWholeFile) {
    const std::size_t chunks[] = {1, 2, 3, 17, 4096, 1 << 20};
    const std::size_t spans[] = {1, 7, 32000};
    for (const std::string& name : szdd_fixtures::compressed_fixtures()) {
        bytes compressed = testing_support::read_bytes(testing_support::data_file(name + "_"));
        bytes original = testing_support::read_bytes(testing_support::data_file(name));
        ASSERT_FALSE(original.empty()) << name;
        for (std::size_t chunk : chunks)
            for (std::size_t span : spans) {
                SCOPED_TRACE(name + ", input chunks of " + std::to_string(chunk) + ", output spans of " +
                             std::to_string(span));
                ASSERT_EQ(decode_in_pieces(compressed, chunk, span), original);
            }
    }
}

TEST(SzddDecoder, HandMadeFilesInPieces) {
    for (const szdd_fixtures::hand_made& c : szdd_fixtures::hand_made_files())
        for (std::size_t chunk : {1, 2, 100})
            for (std::size_t span : {1, 2, 32000}) {
                SCOPED_TRACE(std::string(c.name) + ", chunk " + std::to_string(chunk) + ", span " +
                             std::to_string(span));
                EXPECT_EQ(decode_in_pieces(c.compressed, chunk, span), c.expanded);
            }
}

TEST(SzddDecoder, StopsAtTheExpandedLength) {
    bytes compressed = testing_support::read_bytes(testing_support::data_file("szdd_runs_40000.txt_"));
    bytes original = testing_support::read_bytes(testing_support::data_file("szdd_runs_40000.txt"));
    // The header claims fewer bytes than the data holds.
    for (std::uint32_t length : {0u, 1u, 17u, 39999u}) {
        SCOPED_TRACE(length);
        bytes shorter = compressed;
        formats::store_u32(&shorter[10], length);
        bytes expected(original.begin(), original.begin() + length);
        EXPECT_EQ(decode_in_pieces(shorter, 1 << 20, 32000), expected);
        EXPECT_EQ(decode_in_pieces(shorter, 3, 7), expected);
    }
}

TEST(SzddDecoder, DataThatEndsEarlyGivesAPrefix) {
    bytes compressed = testing_support::read_bytes(testing_support::data_file("szdd_text_32000.txt_"));
    bytes original = testing_support::read_bytes(testing_support::data_file("szdd_text_32000.txt"));
    for (std::size_t cut : {std::size_t{1}, std::size_t{2}, std::size_t{3}, compressed.size() / 2}) {
        SCOPED_TRACE(cut);
        bytes truncated(compressed.begin(), compressed.end() - static_cast<std::ptrdiff_t>(cut));
        bytes out = decode_in_pieces(truncated, 5, 32000);
        EXPECT_LT(out.size(), original.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), original.begin()));
    }
}

TEST(SzddDecoder, ParsesTheHeader) {
    formats::szdd_header header;
    bytes file = szdd_fixtures::szdd_file(0x12345678, {}, 'A');
    file[9] = 'L';
    ASSERT_TRUE(formats::parse_szdd_header(file, &header));
    EXPECT_EQ(header.mode, 'A');
    EXPECT_EQ(header.last_character, 'L');
    EXPECT_EQ(header.expanded_length, 0x12345678u);

    bytes wrong_magic = file;
    wrong_magic[5] ^= 1;
    EXPECT_FALSE(formats::parse_szdd_header(wrong_magic, &header));
    EXPECT_FALSE(formats::parse_szdd_header(bytes(file.begin(), file.begin() + 13), &header));
    EXPECT_TRUE(formats::parse_szdd_header(szdd_fixtures::szdd_file(1, {}, 'B'), &header));
    EXPECT_EQ(header.mode, 'B');
}

}  // namespace
