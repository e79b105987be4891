// The SZDD decoder fed in pieces: whatever the sizes of the input chunks
// and output spans, the result is the same as one call's.
#include "formats/szdd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// The format decoded one byte at a time through the window, as it is
// defined: the decoder's wide copies must give the same bytes on streams of
// every kind of item, chunked or not.
bytes plain_decode(const bytes& items, std::size_t expanded) {
    std::uint8_t window[4096];
    std::fill(std::begin(window), std::end(window), ' ');
    std::uint32_t pos = 4096 - 16;
    bytes out;
    std::size_t at = 0;
    while (out.size() < expanded && at < items.size()) {
        std::uint8_t flags = items[at++];
        for (int bit = 0; bit < 8 && out.size() < expanded; ++bit) {
            if (flags & (1 << bit)) {
                if (at >= items.size()) return out;
                window[pos] = items[at++];
                out.push_back(window[pos]);
                pos = (pos + 1) & 4095;
            } else {
                if (at + 2 > items.size()) return out;
                std::uint32_t from = items[at] | ((items[at + 1] & 0xF0u) << 4);
                std::uint32_t length = (items[at + 1] & 0x0Fu) + 3;
                at += 2;
                for (std::uint32_t i = 0; i < length && out.size() < expanded; ++i) {
                    window[pos] = window[(from + i) & 4095];
                    out.push_back(window[pos]);
                    pos = (pos + 1) & 4095;
                }
            }
        }
    }
    return out;
}

TEST(SzddDecoder, SameBytesAsDecodingByteByByte) {
    // Streams mixing literals with matches of every length, near the
    // output (overlapping it), far back, into the first spaces and across
    // the window's end, of several lengths in a run.
    std::mt19937 random(20261211);
    for (int round = 0; round < 40; ++round) {
        std::size_t groups = round < 20 ? 40 + round * 7 : 3000;
        int literal_share = round % 4 == 0 ? 1 : round % 4 == 1 ? 4 : round % 4 == 2 ? 7 : 0;
        bytes items;
        std::uint32_t pos = 4096 - 16;  // where the next byte goes in the window
        for (std::size_t g = 0; g < groups; ++g) {
            std::uint8_t flags = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (static_cast<int>(random() % 8) < literal_share) flags |= static_cast<std::uint8_t>(1 << bit);
            if (random() % 16 == 0) flags = 0xFF;
            items.push_back(flags);
            for (int bit = 0; bit < 8; ++bit) {
                if (flags & (1 << bit)) {
                    items.push_back(static_cast<std::uint8_t>(random()));
                    pos = (pos + 1) & 4095;
                } else {
                    std::uint32_t kind = random() % 3;
                    std::uint32_t from = kind == 0   ? random() % 4096
                                         : kind == 1 ? (pos - random() % 20) & 4095   // just behind
                                                     : (pos + random() % 20) & 4095;  // the oldest bytes
                    std::uint32_t length = 3 + random() % 16;
                    items.push_back(static_cast<std::uint8_t>(from));
                    items.push_back(static_cast<std::uint8_t>(((from >> 4) & 0xF0) | (length - 3)));
                    pos = (pos + length) & 4095;
                }
            }
        }
        std::size_t expanded = groups * 8 * 18;
        bytes expected = plain_decode(items, expanded);
        bytes file = szdd_fixtures::szdd_file(static_cast<std::uint32_t>(expected.size()), items, 'A');
        for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{5}})
            for (std::size_t span : {std::size_t{32000}, std::size_t{4097}, std::size_t{13}}) {
                SCOPED_TRACE("round " + std::to_string(round) + ", chunk " + std::to_string(chunk) + ", span " +
                             std::to_string(span));
                ASSERT_EQ(decode_in_pieces(file, chunk, span), expected);
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
