// plpack build in its steps: the inventory of OLD and NEW, with the files
// the updater could not apply (build_inventory.cpp); the entry each file
// becomes, made by parallel jobs (build_entries.cpp); and the command that
// writes the package from them (build_command.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "install/layout.h"

namespace plpack::build {

// One file of either installation, by its place in a section.
struct item {
    install::section section = install::core_section;
    std::string destination;  // NEW's spelling when NEW has the file
    std::string old_path, new_path;  // full paths; empty on the side that lacks the file
    std::string new_relative;        // below NEW's app or dictionary folder
    bool in_dictionary = false;

    int flag = 0;  // 0: unchanged, no entry
    std::vector<std::uint8_t> compressed;
    std::uint64_t new_size = 0;
    std::string new_sha256;  // of NEW's content, for patches and replacements
    std::string error;
};

struct inventory {
    std::vector<item> items;
    // (section, lower-case destination) -> index in items
    std::map<std::pair<std::size_t, std::string>, std::size_t> index;
    // OLD's folders, lower-case, relative to the app folder and to the
    // dictionary folder
    std::set<std::string> old_folders, old_dictionary_folders;
    std::vector<std::string> problems;
};

// Adds the files of one side's folder. False when it cannot be listed.
bool take_side(const std::string& root, bool is_old, bool is_dictionary, inventory* found);

// Adds to found->problems what the updater could not apply: new files in
// a folder that OLD lacks and the file pass does not make, new files where
// OLD has a folder, and deletions and new files whose destinations it
// cannot take. Changed files are checked once they are known to be entries.
void check_inventory(inventory* found);

struct progress {
    std::atomic<std::size_t> files{0};    // items done
    std::atomic<std::uint64_t> bytes{0};  // NEW's bytes in the items done
    // The builder's work, counted as it goes (builder/work_counter.h),
    // inside a large file too
    std::atomic<std::uint64_t> work{0};
};

// Makes the entry of every item with `jobs` threads: unchanged (flag 0),
// a patch, a replacement or a deletion, with its compressed content, or
// an error. Shows the progress on a terminal unless `quiet`: the files
// done and the megabytes of NEW worked through, which move while one
// large file is compressed and diffed.
void run_jobs(std::vector<item>* items, unsigned jobs, progress* done, bool quiet);

}  // namespace plpack::build
