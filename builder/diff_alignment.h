// The first half of patch making: lines the new file up against the old one.
// The new file is cut into segments; within a segment, new byte j is set
// against old byte j + delta (which may lie outside the old file or differ
// from it). The cuts come from a suffix array of the old file: the longest
// match at each point of the new file, extended forwards and backwards while
// more than half of the bytes agree (the approximate matching of bsdiff).
// Host build only: the suffix array comes from libdivsufsort.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace builder {

struct diff_segment {
    std::uint32_t new_start;  // the segment runs to the next one's start
    std::int64_t delta;       // old position - new position
};

// The start positions of the old file's suffixes in sorted order.
std::vector<std::int32_t> sort_suffixes(std::span<const std::uint8_t> old_data);

struct old_match {
    std::int64_t length = 0;
    std::int64_t old_pos = 0;
};

// The longest prefix of `needle` that occurs in the old file, found by
// binary search over its sorted suffixes.
old_match longest_match(const std::vector<std::int32_t>& suffixes, std::span<const std::uint8_t> old_data,
                        std::span<const std::uint8_t> needle);

// Segments in increasing new_start, the first at 0, covering the whole new
// file; neighbours have different deltas. Empty for an empty new file.
// `work`, when given, has the old file's size added once its suffixes are
// sorted and the new file's size as the scan moves through it.
std::vector<diff_segment> align_files(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> new_data,
                                      std::atomic<std::uint64_t>* work = nullptr);

}  // namespace builder
