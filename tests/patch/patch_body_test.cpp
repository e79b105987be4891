// The body interpreter on its own, with the output in memory: the write
// buffer's flush boundaries, and what happens when a flush fails.
#include "patch/patch_body.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/patch_writer.h"
#include "support/test_support.h"

namespace {

using testing_support::bytes;

// A sink that keeps what it is handed, and refuses every flush after the
// first `flushes_allowed` ones.
struct sink {
    bytes received;
    int flushes = 0;
    int flushes_allowed = 1 << 30;
    std::size_t largest = 0;
};

bool flush_to_sink(void* context, const std::uint8_t* data, std::size_t n) {
    auto* s = static_cast<sink*>(context);
    if (s->flushes == s->flushes_allowed) return false;
    ++s->flushes;
    s->received.insert(s->received.end(), data, data + n);
    s->largest = std::max(s->largest, n);
    return true;
}

struct run_outcome {
    patch::body_result result;
    bool finished;
};

run_outcome run_body(const bytes& old_data, const bytes& body, std::size_t capacity, sink* s) {
    std::vector<std::uint8_t> buffer(capacity);
    patch::patch_output out{buffer.data(), capacity, 0, flush_to_sink, s};
    patch::body_result result = patch::run_patch_body(old_data, body, &out);
    bool finished = patch::output_finish(&out);
    return {result, finished};
}

using testing_support::random_bytes;

TEST(PatchBody, TheOutputIsTheSameWhateverTheBufferCapacity) {
    testing_support::patch_stats stats;
    const std::size_t capacities[] = {1, 2, 3, 7, 16, 127, 128, 4096, 1 << 16};
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        bytes old_data = random_bytes(seed % 2 ? 3000 : 70000, seed);
        testing_support::random_patch made = testing_support::make_random_patch(old_data, seed, 60, &stats);
        for (std::size_t capacity : capacities) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", capacity " + std::to_string(capacity));
            sink s;
            run_outcome out = run_body(old_data, made.body, capacity, &s);
            EXPECT_EQ(out.result, patch::body_result::ok);
            EXPECT_TRUE(out.finished);
            ASSERT_EQ(s.received, made.expected);
        }
    }
}

TEST(PatchBody, FlushesOnlyFullBuffersOrLongSpans) {
    // Many single literals: with capacity 16, every flush but the last
    // hands over exactly 16 bytes.
    bytes body;
    for (int i = 0; i < 100; ++i) testing_support::put_run(&body, testing_support::run_form::short_run, 0, 'a');
    sink s;
    run_outcome out = run_body({}, body, 16, &s);
    EXPECT_EQ(out.result, patch::body_result::ok);
    EXPECT_EQ(s.received, bytes(100, 'a'));
    EXPECT_EQ(s.flushes, 7);  // 6 full buffers and the last 4 bytes
    EXPECT_EQ(s.largest, 16u);
}

TEST(PatchBody, AFailedFlushStopsTheBodyAndKeepsWhatWasWritten) {
    bytes old_data = random_bytes(70000, 99);
    testing_support::patch_stats stats;
    testing_support::random_patch made = testing_support::make_random_patch(old_data, 99, 200, &stats);
    ASSERT_GT(made.expected.size(), 4096u * 3);
    // A single copy longer than the buffer goes to the sink directly.
    testing_support::random_patch long_copy;
    testing_support::put_block(&long_copy.body, 100, 10000, {}, 0);
    long_copy.expected.assign(old_data.begin() + 100, old_data.begin() + 10100);

    struct failure_case {
        const char* name;
        const testing_support::random_patch* patch;
        int flushes_allowed;
    };
    const failure_case cases[] = {
        {"random edits, first flush fails", &made, 0},
        {"random edits, second flush fails", &made, 1},
        {"random edits, third flush fails", &made, 2},
        {"one long copy", &long_copy, 0},
    };
    for (const failure_case& c : cases) {
        SCOPED_TRACE(c.name);
        sink s;
        s.flushes_allowed = c.flushes_allowed;
        run_outcome out = run_body(old_data, c.patch->body, 4096, &s);
        EXPECT_EQ(out.result, patch::body_result::write_failed);
        EXPECT_EQ(s.flushes, c.flushes_allowed);
        EXPECT_LT(s.received.size(), c.patch->expected.size());
        EXPECT_TRUE(std::equal(s.received.begin(), s.received.end(), c.patch->expected.begin()))
            << "what reached the output is the start of the new file";
    }
}

// Each run form with counts at the edges of its count field and of the
// next narrower form's. A run is followed by a short run, which shows
// where the first one left the old cursor. The old data is then cut to end
// just after the run's copy (still whole: the literal needs no old byte)
// and one byte earlier (malformed, with nothing of the run handed over).
TEST(PatchBody, RunCountsAtEachFormsBoundaries) {
    using testing_support::run_form;
    struct form_counts {
        const char* name;
        run_form form;
        std::vector<std::uint32_t> counts;
    };
    const form_counts cases[] = {
        {"0x80|c", run_form::short_run, {0, 1, 127}},
        {"0x04 u8", run_form::u8, {0, 1, 127, 128, 255}},
        {"0x02 u16", run_form::u16, {0, 255, 256, 257, 65535}},
        {"0x01 u32", run_form::u32, {0, 255, 256, 65535, 65536, 65537}},
    };
    const bytes old_data = random_bytes(65537 + 1 + 3, 17);
    for (const form_counts& c : cases) {
        for (std::uint32_t count : c.counts) {
            SCOPED_TRACE(std::string(c.name) + " run of " + std::to_string(count));
            bytes body;
            testing_support::put_run(&body, c.form, count, 'L');
            testing_support::put_run(&body, run_form::short_run, 2, 'M');
            bytes expected(old_data.begin(), old_data.begin() + count);
            expected.push_back('L');
            expected.insert(expected.end(), old_data.begin() + count + 1, old_data.begin() + count + 3);
            expected.push_back('M');
            sink s;
            run_outcome out = run_body(old_data, body, 4096, &s);
            EXPECT_EQ(out.result, patch::body_result::ok);
            EXPECT_TRUE(s.received == expected) << s.received.size() << " bytes of " << expected.size();

            bytes alone;
            testing_support::put_run(&alone, c.form, count, 'L');
            const bytes exact(old_data.begin(), old_data.begin() + count);
            sink whole;
            EXPECT_EQ(run_body(exact, alone, 4096, &whole).result, patch::body_result::ok);
            EXPECT_TRUE(whole.received == bytes(expected.begin(), expected.begin() + count + 1));
            if (count > 0) {
                sink cut;
                EXPECT_EQ(run_body(bytes(exact.begin(), exact.end() - 1), alone, 4096, &cut).result,
                          patch::body_result::malformed);
                EXPECT_TRUE(cut.received.empty());
            }
        }
    }
}

TEST(PatchBody, OutputBeforeAMalformedInstructionIsHandedOver) {
    bytes old_data = testing_support::text_bytes("0123456789");
    bytes body;
    testing_support::put_run(&body, testing_support::run_form::short_run, 3, 'x');
    testing_support::put_block(&body, 5, 2, testing_support::text_bytes("yz"), 0);
    body.push_back(0x05);
    body.push_back('!');
    sink s;
    run_outcome out = run_body(old_data, body, 4096, &s);
    EXPECT_EQ(out.result, patch::body_result::malformed);
    EXPECT_EQ(s.received, testing_support::text_bytes("012x56yz"));
}

}  // namespace
