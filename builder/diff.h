// Binary patches in the engine's format (patch/patch_body.h): the
// instruction body followed by the u32 byte sum of the new file.
// Host build only (see diff_alignment.h).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "builder/diff_alignment.h"

namespace builder {

// A complete patch file that turns old_data into new_data. The instructions
// are chosen by their exact byte costs: of all the ways to spell the new
// file over the alignment that align_files finds, the shortest. Throws
// std::length_error for files of 1 GiB or more.
std::vector<std::uint8_t> make_patch(std::span<const std::uint8_t> old_data, std::span<const std::uint8_t> new_data);

// The same with the old file's suffixes sorted beforehand (sort_suffixes),
// so that a caller can sort them before it reads the new file. The index is
// freed once the files are aligned.
std::vector<std::uint8_t> make_patch(suffix_index index, std::span<const std::uint8_t> old_data,
                                     std::span<const std::uint8_t> new_data);

}  // namespace builder
