// The file pass: every manifest entry applied to its section's folder, in
// processing order, patching, replacing or deleting one file at a time.
#pragma once

#include <cstddef>

#include "run/context.h"

namespace run {

// Capacity of the paths an entry works with, terminator included.
inline constexpr std::size_t entry_path_capacity = 2000;

// Walks the sections in processing order and acts on each entry of the
// context's manifest in the context's folders, moving
// progress->current_entry from 1 to one past the last entry number. A
// section whose folder is empty (Core and Tools excepted) is skipped, but
// its entry numbers are used up all the same. With context.backup, each
// target is backed up before it changes.
//
// New content (a replacement, a patched file) is made beside the target as
// "<target>Temp" and only then moved over the target in one step, so a
// target stays as it was whenever its entry fails. Returns the number of
// entries that failed: an expansion, a patch or a move that failed, a
// deletion that left the file in place, or a destination or compressed
// file name that reaches outside its folder. 0 when none did.
int file_pass(const run_context& context, ui::progress_counters* progress);

}  // namespace run
