// Binary patches in the engine's format (patch/patch_body.h): the
// instruction body followed by the u32 byte sum of the new file.
// Host build only (see diff_alignment.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "builder/diff_alignment.h"

namespace builder {

// A complete patch file that turns old_data into new_data. The instructions
// are chosen by their byte costs: of all the ways to spell the new file over
// the alignment that align_files finds, the shortest, save that a block
// that copies old data is charged for how badly its offset and length
// compress (diff.cpp). Throws std::length_error for files of 1 GiB or more.
//
// `work`, when given, is added to as the patch is made
// (builder/work_counter.h): the old file's size once its suffixes are
// sorted, then the new file's size twice over, as the alignment and the
// choice of instructions move through it; patch_work() in all by the time
// the call returns.
std::vector<std::uint8_t> make_patch(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> new_data,
                                     std::atomic<std::uint64_t>* work = nullptr);

constexpr std::uint64_t patch_work(std::uint64_t old_size, std::uint64_t new_size) {
    return old_size + 2 * new_size;
}

// The same with the old file's suffixes sorted beforehand (sort_suffixes),
// so that a caller can sort them before it reads the new file. The index is
// freed once the files are aligned.
std::vector<std::uint8_t> make_patch(suffix_index index, std::span<const std::uint8_t> old_data,
                                     std::span<const std::uint8_t> new_data,
                                     std::atomic<std::uint64_t>* work = nullptr);

}  // namespace builder
