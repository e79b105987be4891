// SZDD (mode 'A') compression, the counterpart of formats/szdd.h.
// Matches reach back at most 4095 bytes into the data already written or
// into the window's initial spaces, and decoders copy them one byte at a
// time, so a match may overlap the bytes it produces.
//
// The longest match at every position comes from a binary search tree of
// the window's strings, so none is missed; the items are then chosen by
// their exact cost (a literal 9 bits, a match 17, flag bits included) as
// the cheapest parse of each MiB of the file, which no greedy or lazy
// choice over the same matches can beat (save for an item cut at a MiB's
// end). The working memory is the data's copy and that of one MiB.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

namespace builder {

// The complete SZDD file for `data`: the 14-byte header (mode 'A', last
// character 0, the expanded length) and the compressed items. Throws
// std::length_error for data of 4 GiB or more, whose length the header
// cannot hold.
//
// `work`, when given, has the bytes of `data` added to it as the matches
// are found (builder/work_counter.h): data.size() in all by the time the
// call returns, which a progress display on another thread can watch.
std::vector<std::uint8_t> szdd_compress(std::span<const std::uint8_t> data,
                                        std::atomic<std::uint64_t>* work = nullptr);

}  // namespace builder
