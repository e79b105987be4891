// The commit: every prepared entry put in place in one sweep, under a
// journal that lets the next run finish a sweep cut short.
//
// The journal, "<app folder>\PLUpdate.jnl", is a text file of CR LF lines:
//     PLUpdate journal 1
//     failed<TAB><entries that failed in preparation>
//     move<TAB><staging file><TAB><target>     (one per patched or replaced entry)
//     delete<TAB><target>                      (one per deleted entry)
//     end
// It is on the disk before the first change and removed after the last.
// A journal without its "end" line was cut short while being written,
// before any change: its staging files are removed and it is dropped.
#pragma once

#include <string>
#include <vector>

namespace run {

inline constexpr const char* journal_name = "PLUpdate.jnl";

struct commit_step {
    std::string staged;  // the verified new content; empty: delete the target
    std::string target;
};

struct commit_plan {
    std::vector<commit_step> steps;
    int failures = 0;  // entries that failed in preparation
};

// Writes the journal in `app_folder` (no trailing backslash), then does
// every step and removes the journal. Returns the failed entries: the
// plan's, plus the steps that could not be done. When the journal cannot
// be written nothing changes, the staging files are removed and every
// entry of the plan counts as failed.
int commit(const std::string& app_folder, const commit_plan& plan);

// Removes the plan's staging files.
void discard(const commit_plan& plan);

enum class journal_found {
    none,      // no journal, or one cut short before any change (dropped)
    finished,  // a commit was interrupted and is now finished
    unfinished,  // a commit was interrupted and some of its steps failed
                 // again: their staging files and the journal stay, for
                 // the next run to try once more
};

// Finishes the commit that the journal in `app_folder` describes, if any;
// every step is idempotent. *failures receives the failed entries of that
// update: those of its preparation, and the steps that failed now.
journal_found finish_journal(const std::string& app_folder, int* failures);

}  // namespace run
