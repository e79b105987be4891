#include "builder/diff.h"

#include "builder/diff_alignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "patch/apply_patch.h"
#include "patch/byte_sum.h"
#include "patch/patch_body.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;

using testing_support::random_bytes;

bytes join(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

bytes slice(const bytes& b, std::size_t from, std::size_t to) { return bytes(b.begin() + from, b.begin() + to); }

bool append(void* context, const std::uint8_t* b, std::size_t n) {
    static_cast<bytes*>(context)->insert(static_cast<bytes*>(context)->end(), b, b + n);
    return true;
}

// What the engine makes of old_data with the patch's body, or a note
// saying why it could not.
bytes apply_body(const bytes& old_data, const bytes& patch_file, std::string* fault) {
    bytes out;
    if (patch_file.size() < 4) {
        *fault = "no checksum";
        return out;
    }
    std::uint8_t buffer[256];
    patch::patch_output sink{buffer, sizeof buffer, 0, append, &out};
    auto result = patch::run_patch_body(old_data, {patch_file.data(), patch_file.size() - 4}, &sink);
    if (result != patch::body_result::ok || !patch::output_finish(&sink)) *fault = "malformed body";
    return out;
}

std::uint32_t stored_sum(const bytes& patch_file) {
    const std::uint8_t* p = patch_file.data() + patch_file.size() - 4;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct diff_case {
    std::string name;
    bytes old_data;
    bytes new_data;
    std::size_t largest;  // the patch size that a sound choice of instructions stays within
};

std::vector<diff_case> diff_cases() {
    const bytes old_data = random_bytes(20000, 1);
    const bytes extra = random_bytes(400, 2);
    std::vector<diff_case> cases;
    auto add = [&](std::string name, bytes o, bytes n, std::size_t largest) {
        cases.push_back({std::move(name), std::move(o), std::move(n), largest});
    };

    add("identical", old_data, old_data, 4 + 4);
    add("both empty", {}, {}, 4);
    add("empty old", {}, slice(extra, 0, 100), 4 + 17 + 100);
    add("empty new", old_data, {}, 4);
    add("one byte to another", {'a'}, {'b'}, 4 + 2);
    add("one byte appended to three", {'a', 'b', 'c'}, {'a', 'b', 'c', 'd'}, 4 + 2 + 2);

    bytes one_change = old_data;
    one_change[10000] ^= 0x40;
    add("one byte changed", old_data, one_change, 4 + 4 + 4);

    bytes scattered = old_data;
    for (std::size_t i = 50; i < scattered.size(); i += 100) scattered[i] ^= 0x11;
    // One 2-byte run per change and one for the tail.
    add("scattered byte changes", old_data, scattered, 4 + 2 * 201);

    bytes dense = old_data;
    for (std::size_t i = 5000; i < 5300; ++i) dense[i] = extra[i - 5000];
    // As runs, 600 bytes; as block literals, 300 and a header.
    add("dense changed cluster", old_data, dense, 4 + 17 + 300 + 3 * 4);

    bytes mostly = old_data;
    for (std::size_t i = 8000; i < 8400; ++i)
        if (i % 4 != 0) mostly[i] = static_cast<std::uint8_t>(~mostly[i]);
    add("three of four bytes changed", old_data, mostly, 4 + 17 + 400 + 3 * 4);

    add("insertion", old_data, join({slice(old_data, 0, 1000), slice(extra, 0, 13), slice(old_data, 1000, 20000)}),
        4 + 17 + 13 + 2 * 4);
    add("deletion", old_data, join({slice(old_data, 0, 1000), slice(old_data, 1500, 20000)}), 4 + 17 + 2 * 4);
    add("moved block", old_data,
        join({slice(old_data, 0, 5000), slice(old_data, 10000, 15000), slice(old_data, 5000, 10000),
              slice(old_data, 15000, 20000)}),
        4 + 2 * 17 + 3 * 4);
    add("block copied twice", old_data, join({old_data, slice(old_data, 3000, 9000)}), 4 + 17 + 2 * 4);
    add("appended tail", old_data, join({old_data, slice(extra, 0, 300)}), 4 + 17 + 300 + 4);
    add("cut tail", old_data, slice(old_data, 0, 15000), 4 + 4);
    add("cut head", old_data, slice(old_data, 6000, 20000), 4 + 17 + 4);
    add("random unrelated", old_data, random_bytes(20000, 3), 4 + 17 + 20000);

    // Periodic text: many equally long matches, the longest one cut by the
    // end of the old file.
    bytes periodic;
    for (int i = 0; i < 3000; ++i)
        for (char c : std::string("abcdefghij")) periodic.push_back(static_cast<std::uint8_t>(c));
    add("periodic text with an insertion and a deletion", periodic,
        join({slice(periodic, 0, 10000), {'X'}, slice(periodic, 10000, 20000), slice(periodic, 20005, 30000)}),
        4 + 3 * 17 + 3 * 4);

    // Records of 8 fixed bytes and 8 that differ from record to record; the
    // new file drops the first record and changes one byte in each of the
    // others. Staying with the old alignment after the random head keeps
    // every record's fixed half agreeing, and no exact match at the right
    // alignment (at most 15 bytes) beats that by more than 8: only what the
    // right alignment agrees with further on shows it. One run per record.
    {
        const bytes head = random_bytes(1000, 11), noise = random_bytes(16 * 2000, 12);
        bytes records_old = head, records_new = head;
        for (std::size_t r = 0; r < 2000; ++r) {
            for (std::size_t i = 0; i < 16; ++i) {
                std::uint8_t b = i < 8 ? static_cast<std::uint8_t>("RECORD:#"[i]) : noise[16 * r + i];
                records_old.push_back(b);
                if (r > 0) records_new.push_back(i == 14 ? static_cast<std::uint8_t>(b ^ 0x55) : b);
            }
        }
        add("records realigned by one", records_old, records_new, 4 + 2 * 17 + 2 * 1999 + 4 * 4);
    }

    bytes zeros_old(300000, 0), zeros_new(300013, 0);
    for (std::size_t i = 0; i < zeros_new.size(); i += 1000) zeros_new[i] = 7;
    // A 4-byte run for each change (counts of 999), the bytes beyond the old
    // file as literals.
    add("long zero runs with sparse changes", zeros_old, zeros_new, 4 + 4 * 301 + 2 * 13);
    return cases;
}

TEST(LongestMatch, FindsTheLongestPrefixAnywhereInTheOldFile) {
    struct match_case {
        const char* name;
        std::string old_text;
        std::string needle;
        std::int64_t length;
    };
    const match_case cases[] = {
        {"empty old file", "", "abc", 0},
        {"absent", "abcabc", "xyz", 0},
        {"whole needle", "xxabcdyy", "abcd", 4},
        {"longest of several", "abx abcx abcdx", "abcdef", 4},
        {"before every suffix", "bcd", "a", 0},
        {"after every suffix", "abc", "zz", 0},
        // Every suffix is a prefix of the needle: the longest is the whole
        // file, not the shortest suffix.
        {"needle longer than the old file", "abcabcabcabc", "abcabcabcabcabc", 12},
        {"periodic, cut by the old file's end", "abababababab", "abababababababX", 12},
    };
    for (const match_case& c : cases) {
        bytes old_data(c.old_text.begin(), c.old_text.end()), needle(c.needle.begin(), c.needle.end());
        builder::old_match found = builder::longest_match(builder::sort_suffixes(old_data), old_data, needle);
        EXPECT_EQ(found.length, c.length) << c.name;
        if (found.length > 0) {
            ASSERT_LE(found.old_pos + found.length, static_cast<std::int64_t>(old_data.size())) << c.name;
            std::size_t at = static_cast<std::size_t>(found.old_pos), n = static_cast<std::size_t>(found.length);
            EXPECT_EQ(c.old_text.substr(at, n), c.needle.substr(0, n)) << c.name;
        }
    }
}

// An index sorted in pieces with every step-th suffix kept: each match it
// gives is real, and a match of the old file is found whole even where it
// starts at a dropped suffix, at least up to the end of its piece.
TEST(SuffixIndex, PiecesAndStepsMissNoMatchWithinAPiece) {
    struct index_case {
        std::size_t piece_size;
        std::uint32_t step;
    };
    const index_case cases[] = {{5000, 1}, {5000, 2}, {1777, 2}, {1000, 3}, {20000, 4}};
    bytes old_data = random_bytes(20000, 8);
    // Repeats, so that suffixes share long prefixes within and across pieces.
    std::copy(old_data.begin() + 100, old_data.begin() + 1600, old_data.begin() + 9000);
    for (const index_case& c : cases) {
        SCOPED_TRACE("pieces of " + std::to_string(c.piece_size) + ", step " + std::to_string(c.step));
        const builder::suffix_index index = builder::sort_suffixes(old_data, c.piece_size, c.step);
        for (std::size_t at : {0u, 1u, 2u, 999u, 1000u, 1776u, 4999u, 5001u, 9000u, 9001u, 14999u, 19950u}) {
            const bytes needle = slice(old_data, at, std::min<std::size_t>(at + 60, old_data.size()));
            builder::old_match found = builder::longest_match(index, old_data, needle);
            ASSERT_LE(found.old_pos + found.length, static_cast<std::int64_t>(old_data.size()));
            EXPECT_TRUE(std::equal(needle.begin(), needle.begin() + found.length, old_data.begin() + found.old_pos))
                << "not a match, at " << at;
            std::size_t piece_end = std::min(old_data.size(), (at / c.piece_size + 1) * c.piece_size);
            EXPECT_GE(found.length, static_cast<std::int64_t>(std::min(needle.size(), piece_end - at))) << "at " << at;
        }
    }
}

// Large files: the old file indexed in pieces with half its suffixes, the
// search cut into windows of 2^20 positions. Edits at and around a window's
// end, and runs and blocks that would cross it, must still rebuild the new
// file, at a cost close to that of the edits.
TEST(MakePatch, LargeFilesRebuildAcrossIndexPiecesAndSearchWindows) {
    const std::size_t window = std::size_t{1} << 20;
    bytes old_data = random_bytes(builder::whole_index_limit + 300000, 9);
    struct large_case {
        const char* name;
        std::function<bytes(const bytes&)> edit;
        std::size_t largest;
    };
    const large_case cases[] = {
        {"unchanged", [](const bytes& o) { return o; }, 4 + 6 * 6},
        {"bytes changed at the window's end",
         [&](const bytes& o) {
             bytes n = o;
             for (std::size_t at : {window - 2, window - 1, window, window + 1, 2 * window}) n[at] ^= 0x5A;
             return n;
         },
         4 + 12 * 6},
        {"insertion just before the window's end, deletion across the next",
         [&](const bytes& o) {
             return join({slice(o, 0, window - 10), random_bytes(40, 10), slice(o, window - 10, 2 * window - 5),
                          slice(o, 2 * window + 500, o.size())});
         },
         4 + 40 + 8 * 17 + 8 * 6},
        {"a block moved over the window's end",
         [&](const bytes& o) {
             return join({slice(o, 0, window - 3000), slice(o, 3 * window, 3 * window + 6000),
                          slice(o, window - 3000, o.size())});
         },
         4 + 8 * 17 + 8 * 6},
    };
    for (const large_case& c : cases) {
        bytes new_data = c.edit(old_data);
        bytes patch_file = builder::make_patch(old_data, new_data);
        std::string fault;
        EXPECT_TRUE(apply_body(old_data, patch_file, &fault) == new_data) << c.name;
        EXPECT_EQ(fault, "") << c.name;
        EXPECT_EQ(stored_sum(patch_file), patch::byte_sum(new_data)) << c.name;
        EXPECT_LE(patch_file.size(), c.largest) << c.name;
    }
}

TEST(MakePatch, RebuildsTheNewFileWithinItsCost) {
    for (const diff_case& c : diff_cases()) {
        bytes patch_file = builder::make_patch(c.old_data, c.new_data);
        std::string fault;
        bytes rebuilt = apply_body(c.old_data, patch_file, &fault);
        EXPECT_EQ(fault, "") << c.name;
        EXPECT_TRUE(rebuilt == c.new_data) << c.name << ": " << rebuilt.size() << " bytes rebuilt of "
                                           << c.new_data.size();
        ASSERT_GE(patch_file.size(), 4u) << c.name;
        EXPECT_EQ(stored_sum(patch_file), patch::byte_sum(c.new_data)) << c.name;
        EXPECT_LE(patch_file.size(), c.largest) << c.name;
        // Never more than the whole new file as one block of literals.
        EXPECT_LE(patch_file.size(), 4 + 17 + c.new_data.size()) << c.name;
    }
}

// The instructions chosen by cost: a lone change is one short run, an
// unchanged file one run.
TEST(MakePatch, SpellsSmallChangesAsRuns) {
    const bytes old_data = random_bytes(300, 4);
    bytes new_data = old_data;
    new_data[100] = static_cast<std::uint8_t>(~new_data[100]);
    bytes patch_file = builder::make_patch(old_data, new_data);
    bytes body(patch_file.begin(), patch_file.end() - 4);
    // Run of 100 then the changed byte; run of 198 (u8 count) then the last byte.
    EXPECT_EQ(body, (bytes{0x80 | 100, new_data[100], patch::op_run8, 198, new_data[299]}));

    body = builder::make_patch(old_data, old_data);
    EXPECT_EQ(bytes(body.begin(), body.end() - 4), (bytes{patch::op_run16, 43, 1, old_data[299]}));
}

// A jump in the old file is a block that copies nothing (zeros, which
// compress, where a copy's offset and length would not), and the copy a run
// after it: a run, the block, a run with a u8 count, and for a replaced
// stretch its new bytes in the block (the first of them may be the first
// run's literal).
TEST(MakePatch, JumpsWithBlocksThatCopyNothing) {
    const bytes old_data = random_bytes(300, 13);
    const bytes fresh = random_bytes(30, 14);
    struct jump_case {
        const char* name;
        bytes new_data;
        std::size_t literals;
    };
    const jump_case cases[] = {
        {"50 bytes deleted", join({slice(old_data, 0, 100), slice(old_data, 150, 300)}), 0},
        {"30 bytes replaced", join({slice(old_data, 0, 100), fresh, slice(old_data, 130, 300)}), 30},
    };
    for (const jump_case& c : cases) {
        bytes patch_file = builder::make_patch(old_data, c.new_data);
        std::string fault;
        EXPECT_TRUE(apply_body(old_data, patch_file, &fault) == c.new_data) << c.name;
        ASSERT_LE(patch_file.size(), 2 + 17 + c.literals + 3 + 4) << c.name;
        EXPECT_EQ(patch_file[2], patch::op_block) << c.name;
        EXPECT_TRUE(std::all_of(patch_file.begin() + 3, patch_file.begin() + 11, [](std::uint8_t b) { return b == 0; }))
            << c.name << ": the block copies";
    }
}

// One changed byte after an unchanged stretch whose length sits on either
// side of where a run's count moves to a wider form (127/128, 255/256,
// 65535/65536), and changes at the file's first and last bytes. Each patch
// must rebuild the new file in memory and verify through the engine on
// files.
TEST(MakePatch, RunCountsAtTheFormBoundariesRoundTrip) {
    struct boundary_case {
        std::uint32_t stretch;  // unchanged bytes before the changed one
        std::uint32_t tail;     // unchanged bytes after it
        std::size_t largest;    // the stretch's run, the tail's short run (if any), the byte sum
    };
    const boundary_case cases[] = {
        {0, 40, 2 + 2 + 4},  // the first byte changed
        {1, 40, 2 + 2 + 4},
        {127, 40, 2 + 2 + 4},
        {128, 40, 3 + 2 + 4},
        {255, 40, 3 + 2 + 4},
        {256, 40, 4 + 2 + 4},
        {257, 40, 4 + 2 + 4},
        {65535, 40, 4 + 2 + 4},
        {65536, 40, 6 + 2 + 4},
        {65537, 40, 6 + 2 + 4},
        {0, 0, 2 + 4},       // a file of one byte, changed
        {300, 0, 4 + 4},     // the last byte changed
        {65536, 0, 6 + 4},
    };
    testing_support::message_recorder messages;
    testing_support::scratch_folder folder;
    const bytes source = random_bytes(65537 + 1 + 40, 7);
    for (const boundary_case& c : cases) {
        SCOPED_TRACE("stretch " + std::to_string(c.stretch) + ", tail " + std::to_string(c.tail));
        const bytes old_data = slice(source, 0, c.stretch + 1 + c.tail);
        bytes new_data = old_data;
        new_data[c.stretch] = static_cast<std::uint8_t>(~new_data[c.stretch]);
        bytes patch_file = builder::make_patch(old_data, new_data);
        EXPECT_LE(patch_file.size(), c.largest);

        std::string fault;
        EXPECT_TRUE(apply_body(old_data, patch_file, &fault) == new_data) << "rebuilt in memory";
        EXPECT_EQ(fault, "");

        ASSERT_TRUE(testing_support::write_bytes(folder / "old", old_data));
        ASSERT_TRUE(testing_support::write_bytes(folder / "patch", patch_file));
        patch::file_record patch_record{folder / "patch"}, old_record{folder / "old"}, output{folder / "oldTemp"};
        EXPECT_EQ(patch::apply_patch(&patch_record, &old_record, &output), patch::patch_result::verified);
        EXPECT_TRUE(testing_support::read_bytes(folder / "oldTemp") == new_data) << "rebuilt on files";
    }
    EXPECT_TRUE(messages.messages().empty());
}

// The whole operation on files: the engine verifies the patch's checksum.
TEST(MakePatch, AppliesThroughTheEngine) {
    testing_support::message_recorder messages;
    testing_support::scratch_folder folder;
    const bytes old_data = random_bytes(100000, 5);
    bytes new_data = join({slice(old_data, 0, 40000), random_bytes(77, 6), slice(old_data, 41000, 100000)});
    for (std::size_t i = 60000; i < new_data.size(); i += 5000) new_data[i] ^= 0x80;
    ASSERT_TRUE(testing_support::write_bytes(folder / "app.exe", old_data));
    ASSERT_TRUE(testing_support::write_bytes(folder / "app.pat", builder::make_patch(old_data, new_data)));
    patch::file_record patch_file{folder / "app.pat"}, old_file{folder / "app.exe"}, output{folder / "app.exeTemp"};
    EXPECT_EQ(patch::apply_patch(&patch_file, &old_file, &output), patch::patch_result::verified);
    EXPECT_TRUE(testing_support::read_bytes(folder / "app.exeTemp") == new_data);
    EXPECT_TRUE(messages.messages().empty());
}

// The bytes worked through, for a progress display on another thread:
// patch_work() in all, added (never set) as the old file is sorted and the
// new file aligned and encoded, rising within a large pair of files. The
// patch is the same with a counter as without.
TEST(MakePatch, CountsTheBytesItWorksThrough) {
    constexpr std::size_t mib = 1 << 20;
    const bytes large_old = random_bytes(3 * mib + 7, 21);
    bytes large_new =
        join({slice(large_old, 0, mib), random_bytes(5000, 22), slice(large_old, mib + 100, large_old.size())});
    for (std::size_t i = 2 * mib; i < large_new.size(); i += 70001) large_new[i] ^= 0x5A;
    const diff_case cases[] = {
        {"both empty", {}, {}, 0},
        {"empty new", random_bytes(5000, 23), {}, 0},
        {"empty old", {}, random_bytes(5000, 24), 0},
        {"3 MiB with changes", large_old, large_new, 0},
    };
    for (const diff_case& c : cases) {
        const std::uint64_t total = builder::patch_work(c.old_data.size(), c.new_data.size());
        const std::uint64_t start = 77777;  // other files' bytes, counted before
        bytes made;
        testing_support::work_seen seen =
            testing_support::watch_work(start, total, [&](std::atomic<std::uint64_t>* work) {
                made = builder::make_patch(c.old_data, c.new_data, work);
            });
        EXPECT_EQ(seen.final, start + total) << c.name;
        EXPECT_FALSE(seen.went_back) << c.name;
        EXPECT_FALSE(seen.overshot) << c.name;
        if (total > 3 * mib) {
            EXPECT_TRUE(seen.in_between) << c.name << ": the count moved only at the end";
        }
        EXPECT_TRUE(made == builder::make_patch(c.old_data, c.new_data)) << c.name;
    }
}

}  // namespace
