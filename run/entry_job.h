// One manifest entry on its way through the file pass's preparation. It
// is begun in entry order: its names checked, its folder swept, its
// staging file made and its target backed up. Its new content is then made
// into the staging file, on any of a few threads, as no entry's content
// depends on another's: installed files do not change before the commit.
// It is finished in entry order again: what went wrong told, the content
// checked, its step added to the commit plan.
#pragma once

#include <cstddef>
#include <string>

#include "package/manifest.h"
#include "patch/apply_patch.h"
#include "patch/expand.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "run/commit.h"
#include "run/context.h"

namespace run {

// Capacity of the paths an entry works with, terminator included.
inline constexpr std::size_t entry_path_capacity = 2000;

// What is left of an entry once it is begun.
enum class entry_work {
    nothing,    // settled: done already, no action, or failed
    deletion,   // a deletion, left to the commit
    expansion,  // its replacement to expand into its staging file
    patching,   // its patch to expand and apply into its staging file
};

// The entry as the manifest gives it (number, flag, destination,
// compressed file, new content's keys), and what its preparation made.
struct entry_job {
    int number = 0;
    int flag = 0;
    std::string destination, compressed, target;
    // The manifest's size and digest of the new content, when it has them.
    package::manifest::content_keys keys = package::manifest::content_keys::none;
    std::string sha256;
    unsigned long long size = 0;

    entry_work work = entry_work::nothing;
    bool failed = false;
    std::string staged;             // the staging file, once made
    platform::unique_file staging;  // open for the expansion into it
    std::string patch_path;         // where a patch that fails is left
    platform::unique_digest_stream digest;
    patch::expand_result expanded = patch::expand_result::ok;
    patch::patch_result applied = patch::patch_result::verified;
};

// Everything of an entry that comes before its new content: checks of its
// names, the sweep of its folder (see remove_stale_staging), its staging
// file and its backup. `folder` is its section's folder.
void begin_entry(const run_context& context, const std::string& folder, std::string* swept_folders, entry_job* job);

// The new content of a begun entry, into its staging file. Runs on any
// thread: it shows nothing and changes nothing but the entry's own files.
void make_content(entry_job* job);

// What comes after the new content: a patch's result told, the content
// checked against the manifest, and the entry's step added to the plan.
// False when the entry failed; a failed entry leaves no staging file.
bool finish_entry(const run_context& context, entry_job* job, commit_plan* plan);

}  // namespace run
