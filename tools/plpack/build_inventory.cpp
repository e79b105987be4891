// The inventory of plpack build: every file of OLD and NEW placed in its
// manifest section by its folder, and the files the updater could not
// apply.
#include <map>
#include <string>

#include "builder/install_sections.h"
#include "builder/package_writer.h"
#include "platform/paths.h"
#include "tools/plpack/build_items.h"
#include "tools/plpack/commands.h"

namespace plpack::build {

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

std::string parent_of(const std::string& relative) {
    std::size_t cut = relative.find_last_of('\\');
    return cut == std::string::npos ? std::string() : relative.substr(0, cut);
}

// Whether the updater can write a file into `folder` (relative, lower-case)
// of the installed OLD: the folder is there, or the file pass makes it.
bool folder_available(const std::string& folder, const std::set<std::string>& old_folders, bool is_dictionary) {
    if (folder.empty() || old_folders.count(folder)) return true;
    if (is_dictionary || !builder::made_by_file_pass(folder)) return false;
    return folder_available(parent_of(folder), old_folders, is_dictionary);
}

// What the updater cannot do with the files of NEW that OLD lacks. Files
// in a missing folder are told once per folder.
void check_new_files(inventory* found) {
    struct missing_folder {
        std::string folder, first_file;
        int files = 0;
    };
    std::map<std::string, missing_folder> missing;  // by lower-case folder, dictionary folders marked
    for (const item& it : found->items) {
        if (!it.old_path.empty() || it.new_path.empty()) continue;
        const auto& folders = it.in_dictionary ? found->old_dictionary_folders : found->old_folders;
        std::string relative = lower(it.new_relative);
        if (folders.count(relative)) {
            found->problems.push_back(shown(it.new_path) + " is a folder in OLD; the updater cannot remove folders");
        } else if (!folder_available(parent_of(relative), folders, it.in_dictionary)) {
            missing_folder& m = missing[std::string(it.in_dictionary ? "|" : "") + parent_of(relative)];
            if (m.files++ == 0) m = {shown_name(parent_of(it.new_relative)), shown(it.new_path), 1};
        }
    }
    for (const auto& [key, m] : missing) {
        std::string others = m.files == 1   ? " is"
                             : m.files == 2 ? " and 1 more file are"
                                            : " and " + std::to_string(m.files - 1) + " more files are";
        found->problems.push_back(m.first_file + others + " in the folder " + m.folder +
                                  ", which OLD lacks and the updater does not create");
    }
}

}  // namespace

bool take_side(const std::string& root, bool is_old, bool is_dictionary, inventory* found) {
    tree content;
    if (!list_tree(root, &content)) return false;
    if (is_old)
        for (const std::string& folder : content.folders)
            (is_dictionary ? found->old_dictionary_folders : found->old_folders).insert(lower(folder));
    std::map<std::pair<std::size_t, std::string>, std::string> seen;
    for (const std::string& relative : content.files) {
        // The listing spells names in the updater's code page, '?' for
        // what it cannot spell ('?' has no place in a Windows name).
        if (relative.find('?') != std::string::npos) {
            found->problems.push_back(shown(root + "\\" + relative) + ": its name has characters that Windows-" +
                                      std::to_string(platform::ansi_code_page()) +
                                      " cannot spell (shown as ?); the updater could not name the file");
            continue;
        }
        builder::placement place = is_dictionary ? builder::placement{install::dict_section, relative}
                                                 : builder::place_in_app_folder(relative);
        auto key = std::make_pair(static_cast<std::size_t>(place.section), lower(place.destination));
        auto [earlier, added] = seen.emplace(key, relative);
        if (!added) {
            found->problems.push_back(shown(root + "\\" + earlier->second) + " and " + shown(root + "\\" + relative) +
                                      " differ only in letter case; a Windows folder holds one of them");
            continue;
        }
        auto [at, is_new] = found->index.emplace(key, found->items.size());
        if (is_new) {
            found->items.emplace_back();
            found->items.back().section = place.section;
            found->items.back().destination = place.destination;
        }
        item& it = found->items[at->second];
        std::string path = root + "\\" + relative;
        if (is_old) {
            it.old_path = path;
        } else {
            it.new_path = path;
            it.destination = place.destination;
            it.new_relative = relative;
            it.in_dictionary = is_dictionary;
        }
    }
    return true;
}

void check_inventory(inventory* found) {
    check_new_files(found);
    for (const item& it : found->items) {
        // Deletions and new files are entries whatever their content.
        if (!it.old_path.empty() && !it.new_path.empty()) continue;
        std::optional<std::string> problem = builder::destination_problem(it.destination);
        if (problem)
            found->problems.push_back(shown(it.new_path.empty() ? it.old_path : it.new_path) + ": " + *problem);
    }
}

}  // namespace plpack::build
