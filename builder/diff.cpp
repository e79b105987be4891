#include "builder/diff.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "builder/diff_alignment.h"
#include "builder/work_counter.h"
#include "patch/byte_sum.h"
#include "patch/patch_body.h"

namespace builder {

namespace {

// The body is spelled by a shortest path over the positions of the new
// file, each in one of two states: "aligned", the old cursor standing at the
// position's old counterpart in its segment, or "loose", the cursor
// anywhere else. The steps:
//   run from aligned: c agreeing bytes copied from the cursor, then one
//     literal; 2, 3, 4 or 6 bytes. Only runs over agreeing bytes are tried,
//     to the end of the agreement (the literal being the first differing
//     byte, or the last agreeing one). A run that reaches into the next
//     segment leaves the cursor loose.
//   run from loose: a run of 0, one literal; 2 bytes.
//   block: from either state, the agreeing bytes from here copied from the
//     old file, then literals up to the step's end, where the cursor is put
//     aligned; 17 bytes plus the literals, and copy_cost more if it copies.
// A block from position s to t costs the same for every t up to the end of
// the agreement at s, and one more byte for each position beyond, so the
// cheapest block into each position is a running minimum; the search takes
// linear time and two 32-bit links per position.
//
// The costs are those of the bytes as written, but for a block's copy: the
// patch travels compressed, and a copy's source offset and length are
// numbers that the compressor seldom finds again, while a block that copies
// nothing holds zeros in their place, which it finds everywhere. A copy in a
// block also ends the literals of the block before it (a second header
// where one would do), and the same old bytes are usually at hand as a run
// once the cursor is there. Measured on pairs of real executables and
// libraries, a block's copy pays off only when it saves some 12 bytes more
// than the bytes written suggest.

using cost_t = std::uint64_t;
constexpr cost_t unreachable = std::numeric_limits<cost_t>::max() / 4;
constexpr cost_t block_cost = 1 + patch::block_header_size;
constexpr cost_t copy_cost = 12;

enum step_kind : std::uint32_t {
    run_from_aligned = 0,
    run_from_loose = 1,
    block_from_aligned = 2,
    block_from_loose = 3,
};
constexpr std::uint32_t position_bits = 30;
constexpr std::uint32_t position_mask = (1u << position_bits) - 1;
constexpr std::uint32_t start_link = 0xFFFFFFFFu;  // the path's first state

cost_t run_cost(std::uint64_t count) {
    return count < 128 ? 2 : count < 256 ? 3 : count < 65536 ? 4 : 6;
}

bool from_aligned(std::uint32_t kind) { return kind == run_from_aligned || kind == block_from_aligned; }

struct candidate {
    cost_t cost = unreachable;
    std::uint32_t link = 0;  // kind << 30 | position the step starts from

    void offer(cost_t c, std::uint32_t kind, std::uint32_t from) {
        if (c < cost) {
            cost = c;
            link = kind << position_bits | from;
        }
    }
};

// A block source waiting to be used: reaching position t from it costs
// `value` + 17 + t.
struct block_source {
    std::int64_t value = std::numeric_limits<std::int64_t>::max();
    std::uint32_t from = 0;
    bool aligned = false;

    bool valid() const { return value != std::numeric_limits<std::int64_t>::max(); }
    void merge(std::int64_t v, std::uint32_t f, bool a) {
        if (v < value) *this = {v, f, a};
    }
};

struct arrival {
    std::uint32_t target;
    bool aligned;
    candidate best;
};

struct layout {
    std::span<const std::uint8_t> old_data;
    std::span<const std::uint8_t> new_data;
    std::vector<diff_segment> segments;

    std::uint32_t segment_end(std::size_t segment) const {
        return segment + 1 < segments.size() ? segments[segment + 1].new_start
                                             : static_cast<std::uint32_t>(new_data.size());
    }
    std::size_t segment_of(std::uint32_t position) const {
        auto it = std::upper_bound(segments.begin(), segments.end(), position,
                                   [](std::uint32_t p, const diff_segment& s) { return p < s.new_start; });
        return static_cast<std::size_t>(it - segments.begin()) - 1;
    }
    std::int64_t old_position(std::uint32_t position, std::size_t segment) const {
        return position + segments[segment].delta;
    }
    bool agrees(std::uint32_t position, std::size_t segment) const {
        std::int64_t at = old_position(position, segment);
        return at >= 0 && at < static_cast<std::int64_t>(old_data.size()) &&
               old_data[static_cast<std::size_t>(at)] == new_data[position];
    }
    // The first position from `position` on that disagrees, or the
    // segment's end.
    std::uint32_t agreement_end(std::uint32_t position, std::size_t segment) const {
        std::uint32_t end = segment_end(segment);
        while (position < end && agrees(position, segment)) ++position;
        return position;
    }
};

// Appends the bytes of one instruction back to front (the body is built
// from its end and reversed once at the end).
struct reversed_body {
    std::vector<std::uint8_t> bytes;

    void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v >> 8);
        u8(v);
    }
    void u32(std::uint32_t v) {
        u8(v >> 24);
        u8(v >> 16);
        u8(v >> 8);
        u8(v);
    }
    void run(std::uint32_t count, std::uint8_t literal) {
        u8(literal);
        if (count < 128) {
            u8(patch::op_short_run | count);
        } else if (count < 256) {
            u8(count);
            u8(patch::op_run8);
        } else if (count < 65536) {
            u16(count);
            u8(patch::op_run16);
        } else {
            u32(count);
            u8(patch::op_run32);
        }
    }
    void block(std::uint32_t source, std::uint32_t copy, std::span<const std::uint8_t> literals, std::uint32_t next) {
        for (std::size_t i = literals.size(); i-- > 0;) u8(literals[i]);
        u32(next);
        u32(static_cast<std::uint32_t>(literals.size()));
        u32(copy);
        u32(source);
        u8(patch::op_block);
    }
};

// Where the path stands at a window's end: the old cursor aligned or loose.
enum class cut_state { aligned, loose };

// The shortest path over new positions [start, end), from a path that
// stands at `start` in state `from_state` (at 0: the cursor at old position
// 0), appended to `out` as instructions. No step crosses `end`. Returns the
// state the path ends in.
cut_state encode_window(const layout& files, std::uint32_t start, std::uint32_t window_end, cut_state from_state,
                        std::vector<std::uint8_t>* out, work_counter* encoded) {
    const std::uint32_t size = static_cast<std::uint32_t>(files.new_data.size());
    const std::size_t span = std::size_t{window_end - start} + 1;
    std::vector<std::uint32_t> aligned_link(span), loose_link(span);

    std::vector<arrival> pending;
    auto arrive = [&](std::uint32_t target, bool aligned, cost_t cost, std::uint32_t kind, std::uint32_t from) {
        if (target > window_end) return;
        for (arrival& a : pending) {
            if (a.target == target && a.aligned == aligned) {
                a.best.offer(cost, kind, from);
                return;
            }
        }
        arrival a{target, aligned, {}};
        a.best.offer(cost, kind, from);
        pending.push_back(a);
    };

    block_source released;            // usable by every later position
    block_source held;                // the current agreement's, usable from its end
    std::uint32_t agreement = start;  // end of the agreement that the position is in
    std::size_t segment = files.segment_of(start);
    cost_t final_aligned = unreachable, final_loose = unreachable;

    for (std::uint32_t j = start;; ++j) {
        encoded->reach(j);
        while (segment + 1 < files.segments.size() && files.segments[segment + 1].new_start <= j) ++segment;
        candidate aligned, loose;
        if (j == start) {
            // The cursor starts at old position 0; the first segment's delta is 0.
            bool at_alignment = start == 0 ? files.segments[0].delta == 0 : from_state == cut_state::aligned;
            if (at_alignment) aligned = {0, start_link};
            else loose = {0, start_link};
        }
        for (std::size_t i = 0; i < pending.size();) {
            if (pending[i].target == j) {
                candidate& to = pending[i].aligned ? aligned : loose;
                if (pending[i].best.cost < to.cost) to = pending[i].best;
                pending[i] = pending.back();
                pending.pop_back();
            } else {
                ++i;
            }
        }
        if (held.valid() && agreement == j) {
            released.merge(held.value, held.from, held.aligned);
            held = {};
        }
        if (released.valid())
            aligned.offer(static_cast<cost_t>(released.value + static_cast<std::int64_t>(block_cost + j)),
                          released.aligned ? block_from_aligned : block_from_loose, released.from);
        if (loose.cost != unreachable) aligned.offer(loose.cost + block_cost, block_from_loose, j);
        aligned_link[j - start] = aligned.link;
        loose_link[j - start] = loose.link;
        if (j == window_end) {
            final_aligned = aligned.cost;
            final_loose = loose.cost;
            break;
        }

        bool best_aligned = aligned.cost <= loose.cost;
        std::int64_t best = static_cast<std::int64_t>(best_aligned ? aligned.cost : loose.cost);
        std::uint32_t end = j;
        if (j < agreement) {
            end = agreement;
        } else if (files.agrees(j, segment)) {
            end = agreement = std::min(files.agreement_end(j, segment), window_end);
        }
        std::uint32_t length = end - j;
        if (length == 0)
            released.merge(best - j, j, best_aligned);
        else
            held.merge(best + static_cast<std::int64_t>(copy_cost) - end, j, best_aligned);

        if (aligned.cost != unreachable) {
            std::uint32_t segment_end = files.segment_end(segment);
            if (end < size)
                arrive(end + 1, end + 1 < segment_end, aligned.cost + run_cost(length), run_from_aligned, j);
            if (length > 0) arrive(end, end < segment_end, aligned.cost + run_cost(length - 1), run_from_aligned, j);
        }
        if (loose.cost != unreachable) arrive(j + 1, false, loose.cost + run_cost(0), run_from_loose, j);
    }

    // At the file's end the cheaper state; at a cut the aligned one unless
    // the loose one is cheaper even after a block to align it.
    bool in_aligned = window_end == size ? final_aligned <= final_loose : final_aligned <= final_loose + block_cost;
    const cut_state reached = in_aligned ? cut_state::aligned : cut_state::loose;

    // Back from the end along the links, writing the instructions.
    reversed_body body;
    std::uint32_t position = window_end;
    // Whether the step after the current one reads the old cursor: a block
    // followed by another block, or by the file's end, may leave it anywhere.
    bool cursor_read = window_end < size;
    for (;;) {
        std::uint32_t link = in_aligned ? aligned_link[position - start] : loose_link[position - start];
        if (link == start_link) break;
        std::uint32_t kind = link >> position_bits;
        std::uint32_t from = link & position_mask;
        if (kind == run_from_aligned || kind == run_from_loose) {
            body.run(position - 1 - from, files.new_data[position - 1]);
        } else {
            std::size_t source_segment = files.segment_of(from);
            std::uint32_t copy = std::min(files.agreement_end(from, source_segment), position) - from;
            std::uint32_t source =
                copy ? static_cast<std::uint32_t>(files.old_position(from, source_segment)) : 0;
            // A cursor that nothing reads is left at 0, which compresses
            // better than an old position.
            std::uint32_t next =
                cursor_read ? static_cast<std::uint32_t>(files.old_position(position, files.segment_of(position)))
                            : 0;
            body.block(source, copy, files.new_data.subspan(from + copy, position - from - copy), next);
        }
        cursor_read = kind == run_from_aligned || kind == run_from_loose;
        position = from;
        in_aligned = from_aligned(kind);
    }
    out->insert(out->end(), body.bytes.rbegin(), body.bytes.rend());
    return reached;
}

// The search keeps two links for each position of a window; the windows
// bound its memory on large files, at the price of a cut (a run or a block
// split in two) at each window's end.
constexpr std::uint32_t window_positions = 1u << 20;

std::vector<std::uint8_t> encode_body(const layout& files, std::atomic<std::uint64_t>* work) {
    const std::uint32_t size = static_cast<std::uint32_t>(files.new_data.size());
    work_counter encoded{work};
    std::vector<std::uint8_t> out;
    cut_state state = cut_state::aligned;
    for (std::uint32_t start = 0; start < size;) {
        std::uint32_t end = size - start > window_positions ? start + window_positions : size;
        state = encode_window(files, start, end, state, &out, &encoded);
        start = end;
    }
    encoded.finish(size);
    return out;
}

}  // namespace

std::vector<std::uint8_t> make_patch(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> new_data,
                                     std::atomic<std::uint64_t>* work) {
    return make_patch(sort_suffixes(old_data), old_data, new_data, work);
}

std::vector<std::uint8_t> make_patch(suffix_index index, std::span<const std::uint8_t> old_data,
                                     std::span<const std::uint8_t> new_data, std::atomic<std::uint64_t>* work) {
    // The old file's suffixes are sorted by now.
    work_counter{work}.finish(old_data.size());
    layout files{old_data, new_data, {}};
    {
        suffix_index sorted = std::move(index);
        files.segments = align_files(sorted, old_data, new_data, work);
    }

    std::vector<std::uint8_t> out = encode_body(files, work);
    std::uint32_t sum = patch::byte_sum(new_data);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(sum >> (8 * i)));
    return out;
}

}  // namespace builder
