// Random edits, written by the test's own patch writer with every
// instruction form, applied through apply_patch on files.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "patch/apply_patch.h"
#include "patch/byte_sum.h"
#include "support/patch_writer.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;

bytes random_old_file(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    bytes data(size);
    for (std::uint8_t& b : data) b = static_cast<std::uint8_t>(random());
    return data;
}

TEST(PatchRoundTrip, RandomEditsRebuildTheExpectedFile) {
    // Sizes past 65535 make u16 and u32 runs of real length.
    const std::size_t old_sizes[] = {0, 1, 200, 4096, 70000, 300000};
    testing_support::patch_stats stats;
    testing_support::scratch_folder folder;
    testing_support::message_recorder recorder;
    for (std::size_t old_size : old_sizes) {
        for (std::uint32_t seed = 1; seed <= 8; ++seed) {
            SCOPED_TRACE("old size " + std::to_string(old_size) + ", seed " + std::to_string(seed));
            bytes old_data = random_old_file(old_size, seed);
            testing_support::random_patch made =
                testing_support::make_random_patch(old_data, seed * 7919 + static_cast<std::uint32_t>(old_size),
                                                   40, &stats);
            ASSERT_TRUE(testing_support::write_bytes(folder / "old", old_data));
            ASSERT_TRUE(testing_support::write_bytes(
                folder / "patch", testing_support::patch_file(made.body, patch::byte_sum(made.expected))));
            patch::file_record patch_record{folder / "patch"}, old_record{folder / "old"},
                output{folder / "oldTemp"};
            ASSERT_EQ(patch::apply_patch(&patch_record, &old_record, &output), patch::patch_result::verified);
            ASSERT_EQ(testing_support::read_bytes(folder / "oldTemp"), made.expected);
        }
    }
    EXPECT_TRUE(recorder.messages().empty());

    // The patches did use every instruction form.
    for (int form = 0; form < 4; ++form) EXPECT_GT(stats.runs[form], 0) << "run form " << form;
    EXPECT_GT(stats.runs_of_zero, 0);
    EXPECT_GT(stats.runs_over_65535, 0);
    EXPECT_GT(stats.blocks_copy_and_literals, 0);
    EXPECT_GT(stats.blocks_copy_only, 0);
    EXPECT_GT(stats.blocks_literals_only, 0);
    EXPECT_GT(stats.blocks_reposition_only, 0);
    EXPECT_GT(stats.backward_moves, 0);
}

}  // namespace
