#include "builder/szdd_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "formats/szdd.h"
#include "patch/expand.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;

using testing_support::random_bytes;

bytes text_like(std::size_t size, unsigned seed) {
    const char* words[] = {"the ", "layer ", "brush ", "Pelora ", "canvas, ", "of ", "stroke ", "\r\n", "and "};
    std::mt19937 random(seed);
    bytes out;
    while (out.size() < size)
        for (const char* w = words[random() % 9]; *w && out.size() < size; ++w)
            out.push_back(static_cast<std::uint8_t>(*w));
    return out;
}

bytes repeated(std::size_t size, std::uint8_t value) { return bytes(size, value); }

// A block of `period` random bytes repeated: every match lies exactly
// `period` bytes back.
bytes periodic(std::size_t size, std::size_t period) {
    bytes unit = random_bytes(period, 5), out;
    while (out.size() < size) out.push_back(unit[out.size() % period]);
    return out;
}

struct encoder_case {
    std::string name;
    bytes data;
};

std::vector<encoder_case> encoder_cases() {
    std::vector<encoder_case> cases = {
        {"empty", {}},
        {"one byte", {'x'}},
        {"17 bytes", testing_support::text_bytes("seventeen bytes!!")},
        {"18 spaces", repeated(18, ' ')},
        {"spaces beyond the initial window", repeated(10000, ' ')},
        {"long run of zeros", repeated(100000, 0)},
        {"long run of 0xFF", repeated(5000, 0xFF)},
        {"random", random_bytes(70000, 1)},
        {"text", text_like(60000, 2)},
        {"period 4095 (the farthest match)", periodic(20000, 4095)},
        {"period 4096 (one beyond it)", periodic(20000, 4096)},
        {"period 3", periodic(1000, 3)},
        // The parse goes a MiB at a time: matches run up to a part's end.
        {"text over three parts of the parse", text_like((std::size_t{2} << 20) + 7000, 3)},
        {"spaces then text then spaces", {}},
    };
    bytes& mixed = cases.back().data;
    mixed = repeated(3000, ' ');
    bytes middle = text_like(5000, 3);
    mixed.insert(mixed.end(), middle.begin(), middle.end());
    mixed.insert(mixed.end(), 3000, ' ');
    for (std::size_t size : {4095, 4096, 4097, 4080, 4081, 31999, 32000, 32001, 64000}) {
        cases.push_back({"text of " + std::to_string(size), text_like(size, static_cast<unsigned>(size))});
        cases.push_back({"random of " + std::to_string(size), random_bytes(size, static_cast<unsigned>(size))});
    }
    return cases;
}

// Walks the items of an SZDD file, checking that every match names a slot
// 1 to 4095 bytes behind the write position (never the slot being
// written), and that the items cover the expanded length exactly, padding
// bits of the last flag byte aside.
void check_items(const bytes& file, std::uint32_t expanded, const std::string& name) {
    std::size_t at = formats::szdd_header_size;
    std::uint32_t write_pos = 4096 - 16;
    std::uint64_t produced = 0;
    while (at < file.size()) {
        std::uint8_t flags = file[at++];
        for (int bit = 0; bit < 8 && at < file.size(); ++bit) {
            if (flags >> bit & 1) {
                ++at;
                ++produced;
                write_pos = (write_pos + 1) & 4095;
            } else {
                ASSERT_LE(at + 2, file.size()) << name << ": match cut by the end of the file";
                std::uint32_t from = file[at] | (file[at + 1] & 0xF0u) << 4;
                std::uint32_t length = (file[at + 1] & 0x0Fu) + 3;
                at += 2;
                ASSERT_NE(from, write_pos) << name << ": match at item byte " << at;
                produced += length;
                write_pos = (write_pos + length) & 4095;
            }
        }
    }
    EXPECT_EQ(produced, expanded) << name;
}

bytes decode(const bytes& file) {
    formats::szdd_header header;
    if (!formats::parse_szdd_header(file, &header)) return {};
    bytes out(header.expanded_length);
    formats::szdd_decoder decoder;
    formats::szdd_decoder_start(&decoder, header.expanded_length);
    std::size_t used = 0;
    std::span<const std::uint8_t> input(file.data() + formats::szdd_header_size, file.size() - formats::szdd_header_size);
    out.resize(formats::szdd_decode(&decoder, input, &used, out));
    return out;
}

TEST(SzddCompress, RoundTripsThroughTheDecoder) {
    for (const encoder_case& c : encoder_cases()) {
        bytes file = builder::szdd_compress(c.data);
        formats::szdd_header header;
        ASSERT_TRUE(formats::parse_szdd_header(file, &header)) << c.name;
        EXPECT_EQ(header.mode, 'A') << c.name;
        EXPECT_EQ(header.last_character, 0) << c.name;
        EXPECT_EQ(header.expanded_length, c.data.size()) << c.name;
        EXPECT_EQ(decode(file), c.data) << c.name;
        check_items(file, static_cast<std::uint32_t>(c.data.size()), c.name);
        // Never more than a flag bit per literal over the plain data.
        EXPECT_LE(file.size(), formats::szdd_header_size + c.data.size() + (c.data.size() + 7) / 8) << c.name;
    }
}

TEST(SzddCompress, UsesTheInitialSpacesAndRepeats) {
    struct size_case {
        const char* name;
        bytes data;
        std::size_t largest;
    };
    const size_case cases[] = {
        // One flag byte and one match: the spaces come from the initial window.
        {"18 spaces", repeated(18, ' '), formats::szdd_header_size + 3},
        // Runs are matches that overlap what they write: 18 bytes per 2.
        {"100000 zeros", repeated(100000, 0), formats::szdd_header_size + 100000 / 18 * 17 / 8 + 16},
        {"periodic data at the farthest distance", periodic(40950, 4095), 4095 + 4095 / 8 + 40950 / 18 * 17 / 8 + 64},
        {"text", text_like(60000, 2), 60000 / 3},
        // A part's end costs no more than a match cut short there.
        {"zeros over three parts of the parse", repeated((std::size_t{5} << 19) + 11, 0),
         formats::szdd_header_size + ((std::size_t{5} << 19) + 11) / 18 * 17 / 8 + 3 * 8},
    };
    for (const size_case& c : cases) EXPECT_LE(builder::szdd_compress(c.data).size(), c.largest) << c.name;
    // The nearest space: slot 0xFEF, just behind the first write at 0xFF0.
    EXPECT_EQ(builder::szdd_compress(repeated(18, ' ')),
              (bytes{'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0, 18, 0, 0, 0, 0x00, 0xEF, 0xFF}));
}

// The engine's expansion reads through the LZ expansion library (on
// Windows, LZRead), 32000 bytes at a time.
TEST(SzddCompress, ExpandsThroughTheLzLibrary) {
    testing_support::scratch_folder folder;
    const encoder_case cases[] = {
        {"empty", {}},
        {"five bytes", testing_support::text_bytes("abcde")},
        {"twice the copy buffer", text_like(64000, 9)},
        {"random with an odd tail", random_bytes(32001, 4)},
        {"spaces", repeated(5000, ' ')},
    };
    for (const encoder_case& c : cases) {
        ASSERT_TRUE(testing_support::write_bytes(folder / "file.bi_", builder::szdd_compress(c.data)));
        ASSERT_EQ(patch::expand((folder / "file.bi_").c_str(), (folder / "file.bin").c_str()),
                  patch::expand_result::ok)
            << c.name;
        EXPECT_EQ(testing_support::read_bytes(folder / "file.bin"), c.data) << c.name;
    }
}

// The bytes worked through, for a progress display on another thread: the
// counter is added to (never set) as the matches are found, rises with each
// MiB of a large file, and ends exactly the file's size higher. The
// compressed file is the same with a counter as without.
TEST(SzddCompress, CountsTheBytesItWorksThrough) {
    constexpr std::size_t mib = 1 << 20;
    const encoder_case cases[] = {
        {"empty", {}},
        {"one byte", {'x'}},
        {"a byte short of a MiB", text_like(mib - 1, 11)},
        {"a MiB and one byte", text_like(mib + 1, 12)},
        {"4 MiB and an odd tail", text_like(4 * mib + 333, 13)},
    };
    for (const encoder_case& c : cases) {
        bytes compressed;
        const std::uint64_t start = 1000003;  // other files' bytes, counted before
        testing_support::work_seen seen =
            testing_support::watch_work(start, c.data.size(), [&](std::atomic<std::uint64_t>* work) {
                compressed = builder::szdd_compress(c.data, work);
            });
        EXPECT_EQ(seen.final, start + c.data.size()) << c.name;
        EXPECT_FALSE(seen.went_back) << c.name;
        EXPECT_FALSE(seen.overshot) << c.name;
        if (c.data.size() > 3 * mib) {
            EXPECT_TRUE(seen.in_between) << c.name << ": the count moved only at the end";
        }
        EXPECT_TRUE(compressed == builder::szdd_compress(c.data)) << c.name;
    }
}

}  // namespace
