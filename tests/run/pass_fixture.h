// What the file pass tests build: an installation with every section
// folder, a work folder holding a manifest and its compressed files, and a
// listing of a folder tree to compare byte for byte.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "install/folder_map.h"
#include "support/test_support.h"

namespace pass_testing {

using testing_support::bytes;

inline constexpr int no_flag = -1;  // the entry has no File<N>Flag key

struct entry {
    std::size_t section;  // install::section
    int flag;
    std::string destination;
    // Written to the work folder under cab_name; nothing: no file there.
    std::optional<bytes> compressed = std::nullopt;
    // The File<N>CAB value. Empty: temp<k>.cab (k from 2, in entry order)
    // for an entry with compressed content, no key for the others.
    std::string cab_name = {};
    int number = 0;  // filled by write_package
};

// Writes temp1.cab and the compressed files into `work` (ending with a
// backslash), numbering the entries section by section in processing order.
// Returns TotalFiles.
int write_package(const std::string& work, std::vector<entry>* entries);

// Every file (with its content) and folder under a folder, by relative path.
struct tree {
    std::map<std::string, bytes> files;
    std::set<std::string> folders;
    bool operator==(const tree&) const = default;
};
tree list_tree(const std::string& folder);  // folder ends with a backslash
// The paths where two trees differ, for a failure message.
std::string differences(const tree& expected, const tree& actual);
// Creates the folders (parents first) and files of `t` under `folder`.
void make_tree(const std::string& folder, const tree& t);

// The folders that every pass makes under the app folder, whether or not
// an entry needs them (PSFonts\cmaps only when PSFonts exists).
void add_folders_of_the_pass(tree* t);

// The names of the files directly in a folder.
std::set<std::string> file_names(const std::string& folder);

// The section folders under an app folder (ending with a backslash), as
// names relative to it: "" for Core.
extern const char* const section_subfolders[install::section_count];
// A folder map of them (Core: the app folder without its backslash).
install::folder_map section_folders_under(const std::string& app);
// The path of `destination` in `section`, relative to the app folder.
std::string relative_path(std::size_t section, const std::string& destination);

}  // namespace pass_testing
