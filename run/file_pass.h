// The file pass: every manifest entry applied to its section's folder, in
// processing order, patching, replacing or deleting its file.
#pragma once

#include "run/context.h"

namespace run {

// Walks the sections in processing order and acts on each entry of the
// context's manifest in the context's folders, moving
// progress->current_entry from 1 to one past the last entry number. A
// section whose folder is empty (Core and Tools excepted) is skipped, but
// its entry numbers are used up all the same. With context.backup, each
// target is backed up before it changes.
//
// Two phases. Preparing writes the new content of each patched or replaced
// entry into a staging file beside its target and checks it; no installed
// file changes. Entries are prepared a few dozen at a time: begun in entry
// order, their content made on a few threads, finished in entry order
// (run/entry_job.h); the progress counter moves past each entry as it is
// finished, so that what the pass tells of an entry comes while the
// counter names it. The commit then puts every prepared entry in place in one
// sweep under a journal (run/commit.h); entries that failed in preparation
// are left out. Returns the number of entries that failed: an expansion, a
// patch, a check or a move that failed, a deletion that left the file in
// place, or a destination or compressed file name that reaches outside its
// folder. 0 when none did.
int file_pass(const run_context& context, ui::progress_counters* progress);

}  // namespace run
