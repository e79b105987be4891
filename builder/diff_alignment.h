// The first half of patch making: lines the new file up against the old one.
// The new file is cut into segments; within a segment, new byte j is set
// against old byte j + delta (which may lie outside the old file or differ
// from it). The cuts come from a suffix array of the old file: the longest
// match at each point of the new file, extended forwards and backwards while
// more than half of the bytes agree (the approximate matching of bsdiff). A
// match starts a segment when it beats the current alignment by more than
// 8 bytes, or when its alignment agrees with clearly more of the bytes that
// follow it.
// Host build only: the suffix array comes from libdivsufsort.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace builder {

struct diff_segment {
    std::uint32_t new_start;  // the segment runs to the next one's start
    std::int64_t delta;       // old position - new position
};

// The old file's suffixes in sorted order, for finding where a string
// occurs in it. A large old file is sorted in pieces, each piece on its own
// (its suffixes end at the piece's end), and only every step-th suffix of a
// piece is kept: the sort's working space is then that of one piece, and
// the index half of a full one. A match that starts at a dropped suffix is
// found one byte further on, at the next kept one.
struct suffix_piece {
    struct release {
        void operator()(std::int32_t* p) const { std::free(p); }
    };
    std::uint32_t end = 0;                              // the piece's suffixes end here
    std::unique_ptr<std::int32_t[], release> suffixes;  // old positions, in sorted order
    std::size_t count = 0;
    // Where the suffixes of each first two bytes (b0 << 8 | b1) start;
    // a piece's last suffix, of one byte b0, counts as b0 << 8.
    std::vector<std::uint32_t> buckets;  // 65537 entries
};
struct suffix_index {
    std::vector<suffix_piece> pieces;
    std::uint32_t step = 1;
};

// Below this size the old file is one piece with every suffix kept.
inline constexpr std::size_t whole_index_limit = std::size_t{4} << 20;

suffix_index sort_suffixes(std::span<const std::uint8_t> old_data);
// The same with a given piece size and step (both at least 1).
suffix_index sort_suffixes(std::span<const std::uint8_t> old_data, std::size_t piece_size, std::uint32_t step);

struct old_match {
    std::int64_t length = 0;
    std::int64_t old_pos = 0;
};

// The longest prefix of `needle` that occurs in the old file, found by
// binary search in each piece: for the needle itself and for the needle
// without its first 1 .. step - 1 bytes, whose matches give one for the
// whole needle where the skipped bytes agree too. So only a match that
// starts less than the needle's length before a piece's end may be missed
// (or found shorter).
old_match longest_match(const suffix_index& index, std::span<const std::uint8_t> old_data,
                        std::span<const std::uint8_t> needle);

// Segments in increasing new_start, the first at 0, covering the whole new
// file; neighbours have different deltas. Empty for an empty new file.
// The index is the old file's (sort_suffixes). `work`, when given, has the
// new file's size added as the scan moves through it.
std::vector<diff_segment> align_files(const suffix_index& index, std::span<const std::uint8_t> old_data,
                                      std::span<const std::uint8_t> new_data,
                                      std::atomic<std::uint64_t>* work = nullptr);

}  // namespace builder
